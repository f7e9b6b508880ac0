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
    Ui::Admin *ui;
    AdminService *adminService;
};
