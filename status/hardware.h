#pragma once

#include <QPoint>
#include <QWidget>

class Connect;
class Devs;
class QLabel;

namespace Ui { class Hardware; }

// The state of the selected device's external interfaces: two USB ports,
// four audio interfaces and the firmware's release time.
class Hardware final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Hardware)

public:
    explicit Hardware(QWidget *parent = nullptr);
    ~Hardware() override;

    // Set a value label from a USB status (0 to 2) or an audio status (0 to 1);
    // a status outside those leaves the label as it was.
    static void loadUsbStatus(QLabel *label, int status);
    static void loadAudioStatus(QLabel *label, int status);

signals:
    void closeMsg();

public slots:
    void close();
    void moveWindow(QPoint movePoint);
    void loadHardwareStatus(int row);

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    Ui::Hardware *ui;
    Connect *connect = nullptr;
    Devs *devs = nullptr;
};
