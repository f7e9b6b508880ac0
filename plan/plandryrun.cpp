#include "plandryrun.h"

#include <QHeaderView>

#include "plan/dryrunmodel.h"
#include "ui/dialogchrome.h"
#include "ui_plandryrun.h"

PlanDryRun::PlanDryRun(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::PlanDryRun)
    , model(new DryRunModel(this))
{
    ui->setupUi(this);
    ui->treeView_rows->setModel(model);
    // Columns fit the rows on screen: measuring all of a plan's thousands of
    // rows would keep the dry run from showing.
    ui->treeView_rows->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->treeView_rows->header()->setResizeContentsPrecision(0);
    // A plan's nine columns are wider than the window: the state, what the
    // installer reads first, stands beside the MAC rather than past the edge.
    ui->treeView_rows->header()->moveSection(DryRunModel::StateColumn, DryRunModel::MacColumn + 1);
    ui->label_summary->hide();
    QObject::connect(ui->label_close, SIGNAL(clicked()), this, SLOT(close()));
    DialogChrome::closeOnEscape(this, SLOT(close()));
    QObject::connect(ui->pushButton_cancel, SIGNAL(clicked()), this, SLOT(close()));
    QObject::connect(ui->pushButton_apply, SIGNAL(clicked()), this, SLOT(apply()));
    QObject::connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
    setRows({});
}

PlanDryRun::~PlanDryRun()
{
    delete ui;
}

void PlanDryRun::setRows(const QList<DryRunRow> &rows)
{
    model->setRows(rows);
    ui->label_counts->setText(DryRun::countsText(rows));
    const int changes = DryRun::changes(rows);
    ui->pushButton_apply->setText(tr("应用%n项更改", nullptr, changes));
    ui->pushButton_apply->setEnabled(!applied && changes > 0);
    ui->label_summary->setText(DryRun::summary(rows));
}

QString PlanDryRun::followUp(const QList<Dev *> &devices, bool lastSearch)
{
    QList<DryRunRow> moved = rows();
    DryRun::followUp(moved, devices, lastSearch);
    setRows(moved);
    return DryRun::summary(moved);
}

const QList<DryRunRow> &PlanDryRun::rows() const
{
    return model->rows();
}

void PlanDryRun::centerInParent()
{
    DialogChrome::centerInParent(this);
}

void PlanDryRun::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void PlanDryRun::close()
{
    emit closeMsg();
}

void PlanDryRun::apply()
{
    if (applied || DryRun::changes(rows()) == 0)
        return;
    applied = true;
    ui->pushButton_apply->setEnabled(false);
    ui->pushButton_cancel->setText(tr("关闭"));
    ui->label_summary->show();
    emit applyMsg();
}

void PlanDryRun::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
