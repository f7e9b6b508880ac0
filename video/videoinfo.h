#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <cstdint>

#include "video/video.h"

class Connect;
class Devs;

namespace Ui { class VideoInfo; }

// The stream dialog for the selected device: its main or sub stream's URL and
// live picture, the picture size and decode rate, and the switch between
// H.264 and H.265. Says in words why there is no picture, and after a switch
// waits for the restarted device and plays its stream again.
class VideoInfo final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VideoInfo)

public:
    explicit VideoInfo(QWidget *parent = nullptr);
    ~VideoInfo() override;

    void setMainStream(bool isMain);
    void centerInParent();

signals:
    void closeMsg();

public slots:
    void submit();
    void cancle();
    void loadVideoData();
    void getSetVideoSuccess(int success);
    void click264(int state);
    void click265(int state);
    void moveWindow(QPoint movePoint);
    void loadFrameInfo(uint8_t *data, int width, int height);
    void resetDecodeNum();

protected:
    void paintEvent(QPaintEvent *e) override;

private slots:
    void onStreamProblem(Video::Problem problem, const QString &detail);
    void onReconnectSearchTimeout();

private:
    // Why there is no picture, in the installer's words.
    static QString problemText(Video::Problem problem, const QString &detail);
    void showPictureState(const QString &text);
    void stopReconnecting(const QString &failure);

    int decodeNum = 0;
    QTimer timer;
    Ui::VideoInfo *ui;
    Video *video = nullptr;
    Connect *connect = nullptr;
    Devs *devs = nullptr;
    bool isMain = true;
    // Runs from a successful switch until the first picture after it or the limit.
    QElapsedTimer reconnecting;
    QTimer reconnectSearch;
    QString reconnectFailure;   // shown if the limit is reached
};
