#pragma once

#include <QList>
#include <QSet>
#include <QWidget>

class QCheckBox;
class QLabel;
class UpdateRun;

namespace Ui { class Update; }

// The firmware update dialog: a veil over the main window with a panel that
// follows every device of a run through its four steps (request accepted,
// reconnected, package sent, update installed), says in its row why a device
// failed, and ends with how many were updated and how many failed.
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
    // The words for a RunDevice::Failure with its numbers.
    static QString failureText(int reason, int at, int of);

signals:
    void closeMsg();

public slots:
    void closeWindow();
    void updateProgress(int now, int all);
    void updateRequest(int device, const QString &ip);
    void updateStep(int device, int step);
    void updateFail(int device, int reason, int at, int of);
    void updateAllFinish(int updated, int failed);
    void retryFailed();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<QCheckBox *> stepBoxes(int row) const;
    // The form holds rows 1 to 8; later devices get their rows here.
    void addRow(int row);
    void markIndicators(const QList<QCheckBox *> &boxes);
    void showRow(QWidget *widget);
    void showPercent(int percent);
    // A failed row's reason, in place of its step boxes.
    static QString reasonLabelName(int row);

    Ui::Update *ui;
    UpdateRun *run;
    // The rows of the devices that failed, each with its reason shown in place of its steps.
    QSet<int> failedRows;
};
