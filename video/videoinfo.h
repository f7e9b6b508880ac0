#pragma once

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <cstdint>

class Connect;
class Devs;
class Video;

namespace Ui { class VideoInfo; }

// The stream dialog for the selected device: its main or sub stream's URL and
// live picture, the picture size and decode rate, and the switch between
// H.264 and H.265.
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

private:
    int decodeNum = 0;
    QTimer timer;
    Ui::VideoInfo *ui;
    Video *video = nullptr;
    Connect *connect = nullptr;
    Devs *devs = nullptr;
    bool isMain = true;
};
