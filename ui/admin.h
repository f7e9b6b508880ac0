#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

class AdminService;

namespace Ui { class Admin; }

// The protocol log while it is open: every line of the debug bus, coloured by type.
class Admin final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Admin)

public:
    // Lines kept: several searches of a large site to scroll back through, while
    // a host flooding the LAN cannot make the window hold memory without end.
    static constexpr int MaxLines = 20000;
    // The oldest lines go this many at a time: the view and the counter row
    // update once per chunk, which halves the cost of a burst of lines.
    static constexpr int DropChunk = 1000;

    explicit Admin(QWidget *parent = nullptr);
    ~Admin() override;

    void centerInParent();

signals:
    void closeMsg();

public slots:
    void close();
    void moveWindow(QPoint movePoint);
    void showDebug(QString data, int type);

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    void dropOldestLines();

    Ui::Admin *ui;
    AdminService *adminService;
    int droppedLines = 0;   // shown in row 0 once any line has gone
};
