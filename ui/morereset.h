#pragma once

#include <QPoint>
#include <QWidget>

#include <functional>

class Connect;

namespace Ui { class MoreReset; }

// Asks the installer to confirm a reset of every device on the LAN before it
// is sent.
class MoreReset final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MoreReset)

public:
    explicit MoreReset(QWidget *parent = nullptr);
    ~MoreReset() override;

    void centerInParent();
    // What "Setting" does instead of resetting every device.
    void whenConfirmed(std::function<void()> confirmed);

signals:
    void closeMsg();

public slots:
    void moveWindow(QPoint movePoint);
    void close();
    void submit();

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    Ui::MoreReset *ui;
    Connect *connect;
    std::function<void()> onConfirm;
};
