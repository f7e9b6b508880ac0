#include "update.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>

#include "protocol/connect.h"
#include "ui/dialogchrome.h"
#include "update/file.h"
#include "ui_update.h"

namespace {

// The check boxes of one row, in step order; the row number follows the prefix.
const char *const StepPrefixes[] = {"checkBox_restart_", "checkBox_connect_", "checkBox_send_", "checkBox_finish_"};

constexpr int FormRows = 8;

} // namespace

Update::Update(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Update)
    , engine(Connect::instance())
{
    ui->setupUi(this);
    ui->progressBar->setValue(0);
    ui->progressBar->setTextVisible(false);
    ui->label_progress->setText(QStringLiteral("0%"));
    // Rows stay at the top of the area however few are in use.
    ui->gridLayout_rows->setAlignment(Qt::AlignTop);
    markIndicators(ui->widget_rows->findChildren<QCheckBox *>());

    connect(ui->pushButton, SIGNAL(clicked()), this, SLOT(closeWindow()));
    DialogChrome::closeOnEscape(this, SLOT(closeWindow()));
    connect(engine, SIGNAL(sendUpdateMsg(int,int)), this, SLOT(updateProgress(int,int)));
    connect(engine, SIGNAL(updateTimeOutMsg()), this, SLOT(updateTimeOut()));
    connect(engine, SIGNAL(updateBeginMsg()), this, SLOT(updateBegin()));
    connect(engine, SIGNAL(newConnectMsg(int)), this, SLOT(newConnect(int)));
    connect(engine, SIGNAL(sendFinishMsg(int)), this, SLOT(sendFinish(int)));
    connect(engine, SIGNAL(updateFinishMsg(int)), this, SLOT(updateFinish(int)));
    connect(engine, SIGNAL(updateAllFinishMsg()), this, SLOT(updateAllFinish()));
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

void Update::closeWindow()
{
    engine->resetUpdate();
    deviceRows.clear();
    emit closeMsg();
}

void Update::updateProgress(int now, int all)
{
    // A report of the last packet keeps the bar: the run ends with its own display.
    if (now != all && all != 0) {
        const int percent = int(qint64(now) * 100 / all);
        ui->progressBar->setValue(percent);
        ui->label_progress->setText(QString::number(percent) + QStringLiteral("%"));
    }
    ui->label->setText(tr("正在发送第%1包,共%2包").arg(now).arg(all));
}

void Update::updateFinish()
{
    ui->progressBar->setValue(100);
    ui->label_progress->setText(tr("100%"));
    ui->label->setText(tr("已完成"));
    ui->pushButton->setText(tr("完成"));
}

void Update::updateTimeOut()
{
    ui->label->setText(tr("请求超时"));
}

void Update::updateBegin()
{
    deviceRows.append(-1);
    const int row = deviceRows.size();
    if (row > FormRows)
        addRow(row);
    check(QLatin1String(StepPrefixes[0]), row);
}

void Update::newConnect(int descriptor)
{
    // A connection is matched to the oldest row still waiting, whichever device made it.
    const int i = deviceRows.indexOf(-1);
    if (i < 0)
        return;
    deviceRows[i] = descriptor;
    check(QLatin1String(StepPrefixes[1]), i + 1);
}

void Update::sendFinish(int descriptor)
{
    const int i = deviceRows.indexOf(descriptor);
    if (i < 0)
        return;
    check(QLatin1String(StepPrefixes[2]), i + 1);
}

void Update::updateFinish(int descriptor)
{
    const int i = deviceRows.indexOf(descriptor);
    if (i < 0)
        return;
    check(QLatin1String(StepPrefixes[3]), i + 1);
    deviceRows[i] = -2;   // later reports for this descriptor find nothing
}

void Update::updateAllFinish()
{
    updateFinish();
    engine->resetUpdate();
    deviceRows.clear();
}

void Update::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}

void Update::check(const QString &prefix, int row)
{
    auto *box = ui->widget_window->findChild<QCheckBox *>(prefix + QString::number(row));
    if (!box)
        return;
    if (box->checkState() != Qt::Checked)
        box->setCheckState(Qt::Checked);
    // After the layout requests already queued, so that a new row has its place.
    QPointer<QCheckBox> shown = box;
    QMetaObject::invokeMethod(this, [this, shown] {
        if (shown)
            ui->scrollArea_rows->ensureWidgetVisible(shown, 0, 8);
    }, Qt::QueuedConnection);
}

void Update::addRow(int row)
{
    if (ui->widget_window->findChild<QCheckBox *>(QLatin1String(StepPrefixes[0]) + QString::number(row)))
        return;
    // The form's row titles are label_2 to label_9; run-time rows go on from there.
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
