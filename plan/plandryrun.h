#pragma once

#include <QList>
#include <QPoint>
#include <QWidget>

#include "plan/dryrun.h"

class DryRunModel;

namespace Ui { class PlanDryRun; }

// The dry run of an imported site plan: one row per plan line with what
// Apply would do, the counts at the top, and "Apply N changes". It sends
// nothing itself; the caller applies, then shows the rows again after each
// follow-up search, with the summary line.
class PlanDryRun final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlanDryRun)

public:
    explicit PlanDryRun(QWidget *parent = nullptr);
    ~PlanDryRun() override;

    void setRows(const QList<DryRunRow> &rows);
    const QList<DryRunRow> &rows() const;
    // After a follow-up search of the applied plan: the rows move on to what
    // the devices now answer; the summary line for the status strip.
    QString followUp(const QList<Dev *> &devices, bool lastSearch);
    void centerInParent();

signals:
    void closeMsg();
    void applyMsg();

public slots:
    void moveWindow(QPoint movePoint);
    void close();
    void apply();

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    Ui::PlanDryRun *ui;
    DryRunModel *model;
    bool applied = false;   // Apply is pressed once; the rows then follow the devices
};
