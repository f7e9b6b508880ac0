#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <optional>

#include "plan/addressrange.h"

class Admin;
class AddressRangeForm;
class CloseQuestion;
class PlanDryRun;
struct NetworkChange;
class CommandFeedback;
class AdminService;
class Connect;
class DevManager;
class DevList;
class Devs;
class HardDisk;
class Hardware;
class Menu;
class MoreReset;
class QFileDialog;
class QRCode;
class QTranslator;
class Video;
class VideoInfo;
class Update;
class UpdateRun;
class VisitRecorder;

namespace Ui { class Searcher; }

// The one top-level window: title bar with the package path, the device list,
// the command buttons and the status strip. It owns every dialog and turns
// each button, menu entry and list event into a call on the engine or the registry.
class Searcher final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Searcher)

public:
    enum Language { English = 0, Chinese = 1 };

    explicit Searcher(QWidget *parent = nullptr);
    ~Searcher() override;

    // The registered main window; null before the first one is built.
    static Searcher *instance();

    void loadLanguage(int language);

signals:
    void closeMsg();

public slots:
    void minize();
    int close();
    void openFileWindow();
    void loadAddress(QString address);
    void selectDev(int rowNum);
    void selectChannel(int rowNum, int channelNum);
    void moveWindow(QPoint movePoint);
    void openMenu(const QPoint &pos);
    void closeMenu();
    void clickMenu(QString type);
    void openUpdate();
    void openQRCode();
    void closeQRCode();
    void searchOnce();
    void autoSearch();
    void closeUpdate();
    void loadIp();
    void closeHardDisk();
    void openAdmin();
    void closeAdmin();
    void closeVideoManager();
    void closeHardware();
    void moreReset();
    void closeMoreReset();
    void moreupdate();
    void allSetIp();
    void cleanList();
    void resetFail();
    void netEditSent();
    void resetSelected();

    // Reads a site plan and shows its dry run; nothing is sent before Apply.
    void openPlan(const QString &path);
    // Writes the site report there; false, with the reason in the status strip, when it could not.
    bool saveSiteReport(const QString &path);

private slots:
    void openNetConfig();
    void importPlan();
    bool chooseSiteReport();
    void closeRangeForm();
    void closePlanDryRun();
    void closeCloseQuestion();

private:
    // Opening a dialog replaces the one of its kind: the old one goes, a new
    // one is made as a child of this window, its closeMsg() wired to closeSlot.
    template<typename Dialog>
    Dialog *reopen(Dialog *&dialog, const char *closeSlot);
    // A dialog closes itself from inside its own signal, so it is only hidden
    // now and deleted once that signal has returned.
    template<typename Dialog>
    static void discard(Dialog *&dialog);

    void openHardDisk();
    void openHardware();

    // Sends network settings to many devices and follows them up.
    void sendNetworkChanges(const QList<NetworkChange> &changes);
    // Brings OpenGL in for the first stream preview, when the window was made without it.
    void readyForOpenGl();
    // The stream dialog for the selected device's main or sub stream.
    void openVideoManager(bool isMain);
    // "copyIp", "copyMac" to the clipboard, or "openWeb": the device's page in the browser.
    void useSelectedAddress(const QString &use);

    static Searcher *s_instance;
    static QTranslator *s_translator;

    // The rows picked with Ctrl or Shift; none when only the current row is selected.
    QList<int> pickedRows() const;
    // Opens the update dialog over the window; false, with the reason shown in
    // it, when the package cannot be sent.
    bool openUpdateDialog();

    Ui::Searcher *ui;
    DevList *devList = nullptr;
    DevManager *netConfig = nullptr;
    QFileDialog *fileDialog = nullptr;
    Menu *menu = nullptr;
    VideoInfo *videoInfo = nullptr;
    Update *update = nullptr;
    QRCode *qrCode = nullptr;
    HardDisk *hardDisk = nullptr;
    Hardware *hardware = nullptr;
    Admin *admin = nullptr;
    MoreReset *moreResetDialog = nullptr;
    CommandFeedback *feedback = nullptr;   // the status strip's word on commands devices never acknowledge
    AddressRangeForm *rangeForm = nullptr;
    std::optional<AddressRange> lastRange;   // what the installer confirmed, for the rest of the run
    PlanDryRun *planDryRun = nullptr;
    CloseQuestion *closeQuestion = nullptr;
    VisitRecorder *recorder = nullptr;   // what was done on this visit, for the site report
    QString version;
    Video *video = nullptr;
    AdminService *debugBus = nullptr;
    Connect *engine = nullptr;
    UpdateRun *run = nullptr;
    Devs *devs = nullptr;
    QTimer ipTimer;
    int language = English;
};
