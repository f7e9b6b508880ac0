#pragma once

#include <QPoint>
#include <QWidget>

class Connect;
class Devs;
class NetTabBtn;
class QLabel;
class QLineEdit;

namespace Ui { class DevManager; }

// The network settings of the selected device: address, mask, gateway, DNS
// and DHCP, filled from its last answer and sent as one change-net command.
class DevManager final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DevManager)

public:
    explicit DevManager(QWidget *parent = nullptr);
    ~DevManager() override;

    void setDhcp(bool on);
    void loadDevData();
    void centerInParent();

public slots:
    void close();
    void submit();
    void dhcpOn(int state);
    void dhcpOff(int state);
    void moveWindow(QPoint movePoint);
    void clickTab(NetTabBtn *btn);
    void showPsw(bool isShow);

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    bool checkInput();
    void hideWarnings();
    void keepWarningSpace();

    Ui::DevManager *ui;
    Devs *devs;
    Connect *connect;
    // A gateway outside the address's subnet is shown once as a warning; the
    // next press with the same texts sends them, since the installer may mean it.
    QString acceptedGateway;
};
