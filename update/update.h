#pragma once

#include <QList>
#include <QWidget>

class Connect;
class QCheckBox;

namespace Ui { class Update; }

// The firmware update dialog: a veil over the main window with a panel that
// follows every device of a run through its four steps (request accepted,
// reconnected, package sent, update installed) and shows the packet progress.
class Update final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Update)

public:
    explicit Update(QWidget *parent = nullptr);
    ~Update() override;

    // Covers the parent and centres the panel in it.
    void showInCenter();
    // Tells the installer why no request went out; check is a File::PackageCheck.
    void refusePackage(int check);
    // Tells the installer that no address of this computer reaches the devices.
    void refuseNoNetwork();

signals:
    void closeMsg();

public slots:
    void closeWindow();
    void updateProgress(int now, int all);
    void updateFinish();
    void updateTimeOut();
    void updateBegin();
    void newConnect(int descriptor);
    void sendFinish(int descriptor);
    void updateFinish(int descriptor);
    void updateAllFinish();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Checks the box prefix + row; a row the dialog does not have is no error.
    void check(const QString &prefix, int row);
    // The form holds rows 1 to 8; later devices get their rows here.
    void addRow(int row);
    void markIndicators(const QList<QCheckBox *> &boxes);

    Ui::Update *ui;
    Connect *engine;
    // Per row in use: -1 accepted and not yet connected, a socket descriptor
    // once connected, -2 installed.
    QList<int> deviceRows;
};
