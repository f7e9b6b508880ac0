#include "searcher.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>
#include <QUrl>

#include <cstdlib>

#include "app/commandfeedback.h"
#include "app/visitrecorder.h"
#include "plan/addressrangeform.h"
#include "plan/dryrun.h"
#include "plan/plandryrun.h"
#include "plan/siteplan.h"
#include "protocol/localip.h"
#include "report/closequestion.h"
#include "report/sitereport.h"
#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "resources/resources.h"
#include "status/harddisk.h"
#include "status/hardware.h"
#include "status/qrcode.h"
#include "ui/admin.h"
#include "ui/devlist.h"
#include "ui/devmanager.h"
#include "ui/dialogchrome.h"
#include "ui/menu.h"
#include "update/file.h"
#include "update/update.h"
#include "update/updaterun.h"
#include "ui/morereset.h"
#include "ui_searcher.h"
#include "video/video.h"
#include "video/videoinfo.h"

Searcher *Searcher::s_instance = nullptr;
QTranslator *Searcher::s_translator = nullptr;

Searcher::Searcher(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::Searcher)
    , version(QStringLiteral("V1.0.2.64"))
{
    initResources();
    video = Video::instance();
    debugBus = AdminService::instance();
    engine = Connect::instance();
    run = UpdateRun::instance();
    devs = Devs::instance();
    language = English;
    if (s_instance)
        return;   // a second main window stays empty
    s_instance = this;

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    // The window's fixed widths (the 55-pixel Browse button, the dialogs) are
    // laid out for a 9-point desktop font, whatever the platform's default;
    // every widget of the tool is drawn inside this window.
    QFont desktopFont = QApplication::font();
    desktopFont.setPointSize(9);
    QApplication::setFont(desktopFont);
    ui->setupUi(this);
    loadLanguage(English);

    devList = new DevList(ui->widget_9);
    ui->verticalLayout->addWidget(devList);
    // Tab walks the window in reading order; the list is made here, not by the form.
    // The tab chain holds the widgets that take the focus for the list and the picker.
    const QList<QWidget *> readingOrder = QList<QWidget *>{ui->label_admin, ui->label_minize, ui->label_close,
        ui->lineEdit_fileAddress, ui->pushButton_file} + devList->tabChain() + QList<QWidget *>{ui->pushButton_search,
        ui->pushButton_auto, ui->pushButton_clean, ui->pushButton_2, ui->pushButton_allIp, ui->pushButton,
        ui->pushButton_moreReset, ui->widget_localIp->focusProxy()};
    for (int i = 1; i < readingOrder.size(); ++i)
        setTabOrder(readingOrder.at(i - 1), readingOrder.at(i));
    // The keyboard starts on the devices, not on the first link of the title bar.
    devList->setFocus();
    ui->label_version->setText(version);

    feedback = new CommandFeedback(ui->label_feedback, this);
    recorder = new VisitRecorder(engine, run, devs, feedback, this);
    connect(engine, SIGNAL(sendNetEditMsg()), this, SLOT(netEditSent()));

    menu = new Menu(this);
    menu->hide();
    menu->fitHeightToEntries();

    qrCode = new QRCode(this);
    qrCode->hide();

    connect(ui->label_minize, SIGNAL(clicked()), this, SLOT(minize()));
    connect(ui->label_close, SIGNAL(clicked()), this, SLOT(close()));
    connect(ui->pushButton_file, SIGNAL(clicked()), this, SLOT(openFileWindow()));
    connect(devList, SIGNAL(selectRowMsg(int)), this, SLOT(selectDev(int)));
    connect(devList, SIGNAL(selectChannelMsg(int,int)), this, SLOT(selectChannel(int,int)));
    connect(devList, SIGNAL(openMenuMsg(const QPoint &)), this, SLOT(openMenu(const QPoint &)));
    connect(devList, SIGNAL(clickTreeViewMsg()), this, SLOT(closeMenu()));
    connect(devList, &DevList::countsMsg, ui->label_count, &QLabel::setText);
    connect(devList, &DevList::statusMsg, ui->label_feedback, &QLabel::setText);
    connect(devList, SIGNAL(openConfigMsg()), this, SLOT(openNetConfig()));
    connect(devList, SIGNAL(importPlanMsg()), this, SLOT(importPlan()));
    connect(devList, SIGNAL(siteReportMsg()), this, SLOT(chooseSiteReport()));
    ui->widget_header->setMovesWindowBySystem(true);
    connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
    connect(menu, SIGNAL(clickMenuMsg(QString)), this, SLOT(clickMenu(QString)));
    connect(ui->widget_5, SIGNAL(clickMsg()), this, SLOT(closeMenu()));
    connect(ui->widget_6, SIGNAL(clickMsg()), this, SLOT(closeMenu()));
    connect(ui->widget, SIGNAL(clickMsg()), this, SLOT(closeMenu()));
    connect(ui->pushButton_search, SIGNAL(clicked()), this, SLOT(searchOnce()));
    connect(ui->pushButton_auto, SIGNAL(clicked()), this, SLOT(autoSearch()));
    connect(ui->label_admin, SIGNAL(clicked()), this, SLOT(openAdmin()));
    connect(ui->pushButton_moreReset, SIGNAL(clicked()), this, SLOT(moreReset()));
    connect(ui->pushButton, SIGNAL(clicked()), this, SLOT(moreupdate()));
    connect(ui->pushButton_allIp, SIGNAL(clicked()), this, SLOT(allSetIp()));
    connect(ui->pushButton_clean, SIGNAL(clicked()), this, SLOT(cleanList()));
    connect(ui->pushButton_2, SIGNAL(clicked()), this, SLOT(resetFail()));

    connect(&ipTimer, SIGNAL(timeout()), this, SLOT(loadIp()));
    ipTimer.start(10000);

    ui->label_2->setText(tr("Vessik V1"));
    ui->label->setStyleSheet(QStringLiteral("image: url(:/logo/images/logo/trellik.ico);"));
}

Searcher::~Searcher()
{
    if (s_instance == this) {
        delete update;
        delete videoInfo;
        delete hardware;
        delete moreResetDialog;
        delete admin;
        delete hardDisk;
        delete menu;
        delete netConfig;
        delete fileDialog;
        delete devList;
        delete run;   // before the engine it asks for requests
        delete engine;
        s_instance = nullptr;
    }
    delete ui;
}

Searcher *Searcher::instance()
{
    return s_instance;
}

template<typename Dialog>
Dialog *Searcher::reopen(Dialog *&dialog, const char *closeSlot)
{
    delete dialog;
    dialog = new Dialog(this);
    if (closeSlot)
        connect(dialog, SIGNAL(closeMsg()), this, closeSlot);
    // Keys go to the new dialog once it shows: Tab walks its fields, Escape closes it.
    dialog->setFocus();
    return dialog;
}

template<typename Dialog>
void Searcher::discard(Dialog *&dialog)
{
    if (!dialog)
        return;
    dialog->hide();
    dialog->deleteLater();
    dialog = nullptr;
}

void Searcher::loadLanguage(int newLanguage)
{
    language = newLanguage;
    if (s_translator) {
        QApplication::removeTranslator(s_translator);
        delete s_translator;
    }
    s_translator = new QTranslator;
    const bool chinese = language == Chinese;
    setLocale(QLocale(chinese ? QLocale::Chinese : QLocale::English, QLocale::AnyCountry));
    // A catalogue that does not load leaves the Chinese source texts in place.
    if (s_translator->load(chinese ? QStringLiteral(":/language/language/app_zh_CN.qm")
                                   : QStringLiteral(":/language/language/app_en_US.qm")))
        QApplication::installTranslator(s_translator);
    ui->retranslateUi(this);
}

void Searcher::minize()
{
    setWindowState(Qt::WindowMinimized);
}

int Searcher::close()
{
    // Asked once: what was changed on the devices is owed to the customer.
    if (recorder->record().hasUnsavedChanges() && !closeQuestion) {
        reopen(closeQuestion, SLOT(closeCloseQuestion()))->centerInParent();
        connect(closeQuestion, &CloseQuestion::saveReportMsg, this, [this] {
            if (chooseSiteReport())
                close();
        });
        connect(closeQuestion, &CloseQuestion::closeWithoutReportMsg, this, [this] {
            recorder->record().markSaved();
            close();
        });
        closeQuestion->show();
        return 0;
    }
    emit closeMsg();
    std::exit(0);
}

void Searcher::closeCloseQuestion()
{
    discard(closeQuestion);
}

void Searcher::openFileWindow()
{
    delete fileDialog;
    fileDialog = new QFileDialog(this, QString(), QString(), QString());
    connect(fileDialog, SIGNAL(fileSelected(const QString &)), this, SLOT(loadAddress(const QString &)));
    fileDialog->resize(800, 420);
    fileDialog->show();
}

void Searcher::loadAddress(QString address)
{
    ui->lineEdit_fileAddress->setText(address);
}

void Searcher::selectDev(int rowNum)
{
    devs->selectDev(rowNum);
}

void Searcher::selectChannel(int rowNum, int channelNum)
{
    devs->selectChannel(rowNum, channelNum);
}

void Searcher::moveWindow(QPoint movePoint)
{
    setGeometry(geometry().translated(movePoint));
}

void Searcher::openMenu(const QPoint &pos)
{
    // Just right of and below the pointer, as a desktop's context menu opens,
    // so that the release of the right button lands on no entry; but never
    // past the window's edges, which would cut its lower entries off.
    const QPoint beside = pos + QPoint(2, 2);
    menu->move(qMin(beside.x(), width() - menu->width()), qMin(beside.y(), height() - menu->height()));
    menu->show();
    menu->raise();
}

void Searcher::closeMenu()
{
    menu->hide();
    qrCode->hide();
}

void Searcher::clickMenu(QString type)
{
    if (type == QLatin1String("config"))
        openNetConfig();
    else if (type == QLatin1String("qrcode"))
        openQRCode();
    else if (type == QLatin1String("reset"))
        resetSelected();
    else if (type == QLatin1String("main") || type == QLatin1String("sub"))
        openVideoManager(type == QLatin1String("main"));
    else if (type == QLatin1String("hardDisk"))
        openHardDisk();
    else if (type == QLatin1String("hardware"))
        openHardware();
    else if (type == QLatin1String("update"))
        openUpdate();
    else if (type == QLatin1String("copyIp") || type == QLatin1String("copyMac") || type == QLatin1String("openWeb"))
        useSelectedAddress(type);
}

void Searcher::useSelectedAddress(const QString &use)
{
    const Dev *dev = devs->getSelected();
    if (!dev)
        return;
    if (use == QLatin1String("openWeb"))
        QDesktopServices::openUrl(QUrl(QStringLiteral("http://%1/").arg(dev->ip())));
    else
        QGuiApplication::clipboard()->setText(use == QLatin1String("copyIp") ? dev->ip() : dev->mac());
}

bool Searcher::openUpdateDialog()
{
    // The engine keeps its run: a new dialog follows it.
    reopen(update, SLOT(closeUpdate()))->showInCenter();
    // Refused here, so that no device restarts for a package it cannot get.
    const File::PackageCheck check = File::check(ui->lineEdit_fileAddress->text());
    if (check != File::PackageOk) {
        update->refusePackage(check);
        return false;
    }
    if (engine->localAddress().isNull()) {
        update->refuseNoNetwork();
        return false;
    }
    return true;
}

void Searcher::openUpdate()
{
    if (!openUpdateDialog())
        return;
    // Several rows picked with Ctrl or Shift: those devices, as one run.
    const QList<int> rows = pickedRows();
    QList<Dev *> picked;
    if (rows.isEmpty()) {
        if (Dev *dev = devs->getSelected())
            picked << dev;
    } else {
        const QList<Dev *> list = devs->getDevList();
        for (int row : rows)
            if (Dev *dev = list.value(row))
                picked << dev;
    }
    run->startUpdate(ui->lineEdit_fileAddress->text(), picked);
}

QList<int> Searcher::pickedRows() const
{
    // One row selected is only the current row; several are the installer's choice.
    const QList<int> rows = devList->selectedDevRows();
    return rows.size() < 2 ? QList<int>() : rows;
}

void Searcher::openQRCode()
{
    qrCode->loadDevice();
    DialogChrome::centerInParent(qrCode);
    qrCode->show();
    qrCode->raise();
}

void Searcher::closeQRCode()
{
    qrCode->hide();
}

void Searcher::searchOnce()
{
    engine->search();
}

void Searcher::autoSearch()
{
    if (!engine->isAutoSearch()) {
        ui->pushButton_auto->setText(tr("停止搜索"));
        engine->setAutoSearch(true);
    } else {
        ui->pushButton_auto->setText(tr("自动搜索"));
        engine->setAutoSearch(false);
    }
}

void Searcher::closeUpdate()
{
    discard(update);
}

void Searcher::loadIp()
{
    ui->widget_localIp->refresh();
}

void Searcher::closeHardDisk()
{
    discard(hardDisk);
}

void Searcher::openHardDisk()
{
    DialogChrome::centerInParent(reopen(hardDisk, SLOT(closeHardDisk())));
    hardDisk->show();
}

void Searcher::openHardware()
{
    DialogChrome::centerInParent(reopen(hardware, SLOT(closeHardware())));
    hardware->show();
}

void Searcher::openNetConfig()
{
    // The network dialog has no closeMsg(): it hides itself and stays until the next one.
    reopen(netConfig, nullptr)->centerInParent();
    netConfig->show();
}

void Searcher::openAdmin()
{
    reopen(admin, SLOT(closeAdmin()))->centerInParent();
    admin->show();
}

void Searcher::closeAdmin()
{
    discard(admin);
}

void Searcher::readyForOpenGl()
{
    if (!QCoreApplication::testAttribute(Qt::AA_ForceRasterWidgets))
        return;
    // Only a window made able to show OpenGL content can hold the stream
    // view: its system window is made anew once, where it stands.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets, false);
    const QRect placed = geometry();
    hide();
    destroy();
    create();
    setGeometry(placed);
    show();
}

void Searcher::openVideoManager(bool isMain)
{
    readyForOpenGl();
    // One stream at a time: the old dialog's view closes its stream as it goes.
    delete videoInfo;
    videoInfo = new VideoInfo(this);
    connect(videoInfo, SIGNAL(closeMsg()), this, SLOT(closeVideoManager()));
    videoInfo->setMainStream(isMain);
    videoInfo->centerInParent();
    videoInfo->show();
    videoInfo->raise();
}

void Searcher::closeVideoManager()
{
    if (!videoInfo)
        return;
    // closeMsg() comes from inside the dialog's own slot: hide it now and let
    // it go once that slot has returned. Its view stops the stream right away.
    VideoInfo *closing = videoInfo;
    videoInfo = nullptr;
    closing->hide();
    closing->deleteLater();
}

void Searcher::closeHardware()
{
    discard(hardware);
}

void Searcher::moreReset()
{
    reopen(moreResetDialog, SLOT(closeMoreReset()))->centerInParent();
    moreResetDialog->whenConfirmed([this] {
        engine->resetAll();
        recorder->record().lanResetSent();
        QStringList macs;
        for (const Dev *dev : devs->getDevList())
            macs << dev->mac();
        feedback->watch(tr("已向%1台设备发送复位").arg(macs.size()), macs, CommandFeedback::Reset);
    });
    moreResetDialog->show();
}

void Searcher::resetSelected()
{
    const Dev *dev = devs->getSelected();
    if (!dev)
        return;
    engine->reset();
    recorder->record().resetSent(dev->mac());
    feedback->watch(tr("已向%1发送复位").arg(dev->ip()), {dev->mac()}, CommandFeedback::Reset);
}

void Searcher::netEditSent()
{
    if (const Dev *dev = devs->getSelected())
        feedback->watch(tr("已向%1发送网络设置").arg(dev->mac()), {dev->mac()}, CommandFeedback::Settings);
}

void Searcher::closeMoreReset()
{
    discard(moreResetDialog);
}

void Searcher::moreupdate()
{
    if (openUpdateDialog())
        run->startAllUpdate(ui->lineEdit_fileAddress->text(), devs->getDevList());
}

// Every online device (or the rows picked) restarts with a new address: the
// installer sees first the range, each device's address in the list and what
// the numbering skips, and nothing is sent before "Set addresses".
void Searcher::allSetIp()
{
    const LocalAddress presented = engine->localAddress();
    const AddressRange offered = lastRange.value_or(AddressRange::defaultsFor(presented.address, LocalIp::prefixLength(presented)));
    const QList<int> picked = pickedRows();
    const auto plan = [this, picked](const AddressRange &range) {
        return range.plan(devs->getDevList(), picked, engine->getLocalIp());
    };
    reopen(rangeForm, SLOT(closeRangeForm()))->centerInParent();
    connect(rangeForm, &AddressRangeForm::planMsg, this, [this](const AddressPlan &shown) {
        QHash<QString, QString> ips;
        for (const PlannedAddress &planned : shown.assigned)
            ips.insert(planned.dev->mac(), planned.ip.isEmpty() ? tr("无") : planned.ip);
        devList->showAssigned(ips);
    });
    connect(rangeForm, &AddressRangeForm::confirmMsg, this, [this, plan](const AddressRange &range) {
        lastRange = range;
        const AddressPlan confirmed = plan(range);
        for (const PlannedAddress &planned : confirmed.assigned) {
            // Past the subnet's last host there is no address left; such a
            // device keeps its own rather than get a broadcast or foreign one.
            if (planned.ip.isEmpty())
                debugBus->debug(QStringLiteral("[E]no free address for:") + planned.dev->mac(), AdminService::Error);
        }
        recorder->expectNetworkChanges(VisitRecord::Source::PrepareAllUpdate);
        sendNetworkChanges(range.changes(confirmed));
    });
    rangeForm->setUp(offered, plan);
    rangeForm->show();
}

void Searcher::sendNetworkChanges(const QList<NetworkChange> &changes)
{
    QStringList macs;
    for (const NetworkChange &change : changes)
        macs << change.mac;
    engine->setAllIp(changes);
    feedback->watch(tr("已向%1台设备发送新地址").arg(macs.size()), macs, CommandFeedback::Settings);
}

void Searcher::closeRangeForm()
{
    devList->showAssigned({});
    discard(rangeForm);
}

void Searcher::importPlan()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("导入计划"), QDir::homePath(), tr("CSV文件 (*.csv)"));
    if (!path.isEmpty())
        openPlan(path);
}

void Searcher::openPlan(const QString &path)
{
    // A file past the bound is refused for its size without reading it all.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui->label_feedback->setText(tr("无法读取%1：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    const SitePlan plan = SitePlan::read(file.read(SitePlan::MaxBytes + 1));
    if (plan.isRefused()) {
        ui->label_feedback->setText(tr("%1不是计划：%2").arg(QFileInfo(path).fileName(), plan.refusalText()));
        return;
    }
    reopen(planDryRun, SLOT(closePlanDryRun()))->centerInParent();
    planDryRun->setRows(DryRun::rows(plan.lines, devs->getDevList(), engine->getLocalIp()));
    connect(planDryRun, &PlanDryRun::applyMsg, this, [this, plan, path] {
        const QHash<QString, QString> labels = plan.labels();
        for (auto label = labels.cbegin(); label != labels.cend(); ++label)
            recorder->record().setLabel(label.key(), label.value());
        devList->addLabels(labels);
        recorder->expectNetworkChanges(VisitRecord::Source::SitePlan, QFileInfo(path).fileName());
        sendNetworkChanges(DryRun::networkChanges(planDryRun->rows()));
        // Each follow-up search moves the rows on; the last says who did not come back.
        connect(feedback, &CommandFeedback::followedUpMsg, planDryRun, [this](bool last) {
            ui->label_feedback->setText(planDryRun->followUp(devs->getDevList(), last));
        });
    });
    planDryRun->show();
}

void Searcher::closePlanDryRun()
{
    if (planDryRun)
        disconnect(feedback, &CommandFeedback::followedUpMsg, planDryRun, nullptr);
    discard(planDryRun);
}

bool Searcher::chooseSiteReport()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("现场报告"), QDir::home().filePath(SiteReport::defaultFileName(QDateTime::currentDateTime())), tr("PDF文件 (*.pdf)"));
    return !path.isEmpty() && saveSiteReport(path);
}

bool Searcher::saveSiteReport(const QString &path)
{
    const LocalAddress presented = engine->localAddress();
    QString whyNot;
    if (!SiteReport(recorder->record(), presented.address.toString(), presented.interfaceName).write(path, &whyNot)) {
        ui->label_feedback->setText(whyNot);
        return false;
    }
    recorder->record().markSaved();
    ui->label_feedback->setText(SiteReport::savedText(path));
    return true;
}

void Searcher::cleanList()
{
    engine->cleanSearch();
}

void Searcher::resetFail()
{
    engine->resetFailSearch();
    recorder->record().repairSearchSent();
    feedback->watch(tr("已向96个地址发送复位"), {}, CommandFeedback::Reset);
}
