#include "update.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QSpinBox>

#include "ui/dialogchrome.h"
#include "update/file.h"
#include "update/updaterun.h"
#include "ui_update.h"

namespace {

// The check boxes of one row, in step order; the row number follows the prefix.
const char *const StepPrefixes[] = {"checkBox_restart_", "checkBox_connect_", "checkBox_send_", "checkBox_finish_"};

} // namespace

Update::Update(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Update)
    , run(UpdateRun::instance())
{
    ui->setupUi(this);
    ui->progressBar->setTextVisible(false);
    showPercent(0);
    // Rows stay at the top of the area however few are in use.
    ui->gridLayout_rows->setAlignment(Qt::AlignTop);
    markIndicators(ui->widget_rows->findChildren<QCheckBox *>());

    ui->spinBox_atOnce->setValue(run->updatesAtOnce());

    connect(ui->pushButton, SIGNAL(clicked()), this, SLOT(closeWindow()));
    DialogChrome::closeOnEscape(this, SLOT(closeWindow()));
    connect(ui->pushButton_retry, SIGNAL(clicked()), this, SLOT(retryFailed()));
    connect(ui->spinBox_atOnce, QOverload<int>::of(&QSpinBox::valueChanged), run, &UpdateRun::setUpdatesAtOnce);
    connect(run, SIGNAL(sendUpdateMsg(int,int)), this, SLOT(updateProgress(int,int)));
    connect(run, SIGNAL(updateRequestMsg(int,QString)), this, SLOT(updateRequest(int,QString)));
    connect(run, SIGNAL(updateStepMsg(int,int)), this, SLOT(updateStep(int,int)));
    connect(run, SIGNAL(updateFailMsg(int,int,int,int)), this, SLOT(updateFail(int,int,int,int)));
    connect(run, SIGNAL(updateAllFinishMsg(int,int)), this, SLOT(updateAllFinish(int,int)));
}

Update::~Update()
{
    delete ui;
}

void Update::showInCenter()
{
    QWidget *parent = parentWidget();
    if (parent)
        setGeometry(0, 0, parent->width(), parent->height());
    DialogChrome::centerInParent(ui->widget_window);
    show();
    raise();
}

void Update::refusePackage(int check)
{
    switch (check) {
    case File::EmptyPath:
        ui->label->setText(tr("请选择升级包"));
        break;
    case File::Missing:
        ui->label->setText(tr("升级包不存在"));
        break;
    case File::Unreadable:
        ui->label->setText(tr("升级包无法读取"));
        break;
    case File::TooLarge:
        ui->label->setText(tr("升级包不能超过4GB"));
        break;
    default:
        break;
    }
}

void Update::refuseNoNetwork()
{
    ui->label->setText(tr("没有有线网络，请将电脑连接到设备所在的网络"));
}

QString Update::failureText(int reason, int at, int of)
{
    switch (reason) {
    case RunDevice::NoConnection:
        return tr("%1秒内未重新连接").arg(at);
    case RunDevice::StoppedTaking:
        return tr("停止接收数据");
    case RunDevice::DisconnectedAt:
        return tr("在第%1包(共%2包)时断开").arg(at).arg(of);
    case RunDevice::NoInstall:
        return tr("%1秒内未报告安装完成").arg(at);
    case RunDevice::PackageUnreadable:
        return tr("升级包无法读取");
    default:
        return QString();
    }
}

void Update::closeWindow()
{
    run->resetUpdate();
    emit closeMsg();
}

void Update::updateProgress(int now, int all)
{
    // A report of the last packet keeps the bar: the run ends with its own display.
    if (now != all && all != 0) {
        showPercent(int(qint64(now) * 100 / all));
    }
    ui->label->setText(tr("正在发送第%1包,共%2包").arg(now).arg(all));
}

void Update::updateRequest(int device, const QString &ip)
{
    const int row = device + 1;
    addRow(row);
    // The form's row titles are label_2 to label_9; run-time rows go on from there.
    if (auto *title = ui->widget_rows->findChild<QLabel *>(QStringLiteral("label_%1").arg(row + 1)))
        title->setText(tr("设备%1:").arg(row) + QLatin1Char(' ') + ip);
}

void Update::updateStep(int device, int step)
{
    const int row = device + 1;
    addRow(row);
    const QList<QCheckBox *> boxes = stepBoxes(row);
    if (step < 1 || step > boxes.size() || failedRows.contains(row))
        return;
    boxes[step - 1]->setCheckState(Qt::Checked);
    showRow(boxes[step - 1]);
}

void Update::updateFail(int device, int reason, int at, int of)
{
    const int row = device + 1;
    addRow(row);
    failedRows.insert(row);
    // The reason takes the place of the steps: it says how far the device got.
    for (QCheckBox *box : stepBoxes(row))
        box->hide();
    const QString name = reasonLabelName(row);
    auto *reasonLabel = ui->widget_rows->findChild<QLabel *>(name);
    if (!reasonLabel) {
        reasonLabel = new QLabel(ui->widget_rows);
        reasonLabel->setObjectName(name);
        reasonLabel->setProperty("failed", true);
        ui->gridLayout_rows->addWidget(reasonLabel, row - 1, 1, 1, 4);
    }
    reasonLabel->setText(failureText(reason, at, of));
    reasonLabel->show();
    showRow(reasonLabel);
}

void Update::updateAllFinish(int updated, int failed)
{
    const int devices = updated + failed;
    const int percent = devices ? updated * 100 / devices : 100;
    showPercent(percent);
    ui->label->setText(tr("%1台已更新,%2台失败").arg(updated).arg(failed));
    ui->pushButton->setText(tr("完成"));
    ui->pushButton_retry->setVisible(failed > 0);
}

void Update::retryFailed()
{
    for (int row : qAsConst(failedRows)) {
        delete ui->widget_rows->findChild<QLabel *>(reasonLabelName(row));
        for (QCheckBox *box : stepBoxes(row)) {
            box->setCheckState(Qt::Unchecked);
            box->show();
        }
    }
    failedRows.clear();
    ui->pushButton_retry->hide();
    ui->pushButton->setText(tr("取消"));
    run->retryFailedUpdates();
}

void Update::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}

void Update::showPercent(int percent)
{
    ui->progressBar->setValue(percent);
    ui->label_progress->setText(QString::number(percent) + QStringLiteral("%"));
}

QString Update::reasonLabelName(int row)
{
    return QStringLiteral("label_reason_%1").arg(row);
}

QList<QCheckBox *> Update::stepBoxes(int row) const
{
    QList<QCheckBox *> boxes;
    for (const char *prefix : StepPrefixes) {
        if (auto *box = ui->widget_rows->findChild<QCheckBox *>(QLatin1String(prefix) + QString::number(row)))
            boxes.append(box);
    }
    return boxes;
}

void Update::showRow(QWidget *widget)
{
    // After the layout requests already queued, so that a new row has its place.
    QPointer<QWidget> shown = widget;
    QMetaObject::invokeMethod(this, [this, shown] {
        if (shown)
            ui->scrollArea_rows->ensureWidgetVisible(shown, 0, 8);
    }, Qt::QueuedConnection);
}

void Update::addRow(int row)
{
    if (ui->widget_rows->findChild<QCheckBox *>(QLatin1String(StepPrefixes[0]) + QString::number(row)))
        return;
    auto *title = new QLabel(tr("设备%1:").arg(row), ui->widget_rows);
    title->setObjectName(QStringLiteral("label_%1").arg(row + 1));
    ui->gridLayout_rows->addWidget(title, row - 1, 0);
    const QString texts[] = {tr("请求成功等待重启"), tr("重启完成发送更新"), tr("发送完成等待安装"), tr("更新完成")};
    QList<QCheckBox *> boxes;
    for (int step = 0; step < 4; ++step) {
        auto *box = new QCheckBox(texts[step], ui->widget_rows);
        box->setObjectName(QLatin1String(StepPrefixes[step]) + QString::number(row));
        box->setFocusPolicy(Qt::NoFocus);
        ui->gridLayout_rows->addWidget(box, row - 1, step + 1);
        boxes.append(box);
    }
    markIndicators(boxes);
    title->show();
    for (QCheckBox *box : boxes)
        box->show();
}

void Update::markIndicators(const QList<QCheckBox *> &boxes)
{
    // The boxes only show how far each device got; a click must not change them.
    for (QCheckBox *box : boxes)
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
}
