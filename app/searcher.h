#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QTimer>

class AdminService;
class Connect;
class DevList;
class Devs;
class HardDisk;
class Hardware;
class Menu;
class QFileDialog;
class QRCode;
class QTranslator;
class Video;
class VideoInfo;
class Update;

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

private:
    void openHardDisk();
    void openHardware();

    // The stream dialog for the selected device's main or sub stream.
    void openVideoManager(bool isMain);

    static Searcher *s_instance;
    static QTranslator *s_translator;

    // Opens the update dialog over the window; false, with the reason shown in
    // it, when the package cannot be sent.
    bool openUpdateDialog();

    Ui::Searcher *ui;
    DevList *devList = nullptr;
    QFileDialog *fileDialog = nullptr;
    Menu *menu = nullptr;
    QRCode *qrCode = nullptr;
    HardDisk *hardDisk = nullptr;
    Hardware *hardware = nullptr;
    VideoInfo *videoInfo = nullptr;
    Update *update = nullptr;
    QString version;
    Video *video = nullptr;
    AdminService *debugBus = nullptr;
    Connect *engine = nullptr;
    Devs *devs = nullptr;
    QTimer ipTimer;
    int language = English;
};
