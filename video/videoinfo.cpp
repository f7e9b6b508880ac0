#include "videoinfo.h"

#include <QCheckBox>

#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "ui/dialogchrome.h"
#include "ui_videoinfo.h"

namespace {

// A recorder takes 20 to 40 s to boot and start its streams after an encoding
// switch; a minute covers a slow one without leaving the user waiting forever.
constexpr qint64 ReconnectLimitMs = 60000;
// While the device restarts it answers no search; it is asked this often.
constexpr int ReconnectSearchMs = 2000;
// A stream server that is still starting refuses; the open is tried again this soon.
constexpr int ReopenDelayMs = 1000;

} // namespace

VideoInfo::VideoInfo(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::VideoInfo)
    , video(Video::instance())
    , connect(Connect::instance())
    , devs(Devs::instance())
{
    ui->setupUi(this);

    QObject::connect(ui->pushButton_submit, SIGNAL(clicked()), this, SLOT(submit()));
    QObject::connect(ui->pushButton_cancle, SIGNAL(clicked()), this, SLOT(cancle()));
    QObject::connect(ui->checkBox_264, SIGNAL(stateChanged(int)), this, SLOT(click264(int)));
    QObject::connect(ui->checkBox_265, SIGNAL(stateChanged(int)), this, SLOT(click265(int)));
    QObject::connect(ui->label_close, SIGNAL(clicked()), this, SLOT(cancle()));
    DialogChrome::closeOnEscape(this, SLOT(cancle()));
    QObject::connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
    QObject::connect(connect, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)), this, SLOT(loadVideoData()));
    QObject::connect(connect, SIGNAL(getSetVideoSuccessMsg(int)), this, SLOT(getSetVideoSuccess(int)));
    QObject::connect(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)), this, SLOT(loadFrameInfo(uint8_t *,int,int)));
    QObject::connect(&timer, SIGNAL(timeout()), this, SLOT(resetDecodeNum()));
    QObject::connect(video, SIGNAL(streamProblemMsg(Video::Problem,QString)), this, SLOT(onStreamProblem(Video::Problem,QString)));
    QObject::connect(&reconnectSearch, SIGNAL(timeout()), this, SLOT(onReconnectSearchTimeout()));

    timer.start(1000);
    // The URL, the boxes and the picture come with the device's answer.
    connect->search();

    ui->label_success->hide();
    ui->widget->hide();
    ui->widget_2->hide();
    ui->widget_3->hide();
    ui->label_pictureState->hide();
}

VideoInfo::~VideoInfo()
{
    timer.stop();
    // The view inside goes with the form and closes the stream.
    delete ui;
}

void VideoInfo::setMainStream(bool main)
{
    isMain = main;
}

void VideoInfo::centerInParent()
{
    DialogChrome::centerInParent(this);
}

void VideoInfo::submit()
{
    ui->label_success->hide();
    connect->changeCompressType(ui->checkBox_264->isChecked());
}

void VideoInfo::cancle()
{
    emit closeMsg();
}

void VideoInfo::loadVideoData()
{
    Dev *dev = devs->getSelected();
    if (!dev)
        return;
    const QString url = QStringLiteral("rtsp://") + dev->ip()
                        + (isMain ? QStringLiteral(":554/uscast/11") : QStringLiteral(":554/uscast/12"));
    ui->lineEdit_url->setText(url);
    const bool h264 = dev->info.h264 != 0;
    ui->checkBox_264->setChecked(h264);
    ui->checkBox_265->setChecked(!h264);
    // Only the first call opens; the decoder ignores the rest while this stream
    // lives. A restarting device is opened once it answers again.
    if (!reconnecting.isValid() || dev->online > 0)
        ui->widget_12->play(url);
}

void VideoInfo::getSetVideoSuccess(int success)
{
    ui->label_success->setText(success ? tr("切换成功，设备重启中") : tr("切换失败"));
    ui->label_success->show();
    if (!success)
        return;
    // The device restarts: its stream is gone until it answers the search again.
    video->close();
    reconnectFailure = problemText(Video::NoAnswer, QString());
    showPictureState(tr("重新连接中…"));
    reconnecting.start();
    reconnectSearch.start(ReconnectSearchMs);
}

void VideoInfo::onReconnectSearchTimeout()
{
    if (reconnecting.elapsed() < ReconnectLimitMs) {
        connect->search();
        return;
    }
    video->close();
    stopReconnecting(reconnectFailure);
}

void VideoInfo::stopReconnecting(const QString &failure)
{
    reconnecting.invalidate();
    reconnectSearch.stop();
    if (failure.isEmpty())
        ui->label_pictureState->hide();
    else
        showPictureState(failure);
}

void VideoInfo::click264(int state)
{
    ui->checkBox_265->setChecked(state == Qt::Unchecked);
}

void VideoInfo::click265(int state)
{
    ui->checkBox_264->setChecked(state == Qt::Unchecked);
}

void VideoInfo::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void VideoInfo::loadFrameInfo(uint8_t *, int width, int height)
{
    ++decodeNum;
    if (reconnecting.isValid())
        stopReconnecting(QString());
    ui->label_pictureState->hide();
    ui->label_videoSize->setText(QString::number(width) + QLatin1Char('x') + QString::number(height));
}

void VideoInfo::resetDecodeNum()
{
    // Without pictures the words over the view say why; a rate of 0 says nothing more.
    ui->label_decodeFps->setText(ui->label_pictureState->isHidden() ? QString::number(decodeNum) : QString());
    decodeNum = 0;
}

QString VideoInfo::problemText(Video::Problem problem, const QString &detail)
{
    switch (problem) {
    case Video::Refused: return tr("无码流：连接被拒绝");
    case Video::NoAnswer: return tr("无码流：设备无应答");
    case Video::Unsupported: return tr("不支持的图像格式：%1").arg(detail);
    case Video::TooLarge: return tr("图像过大：%1（最大 %2x%3）").arg(detail).arg(Video::MaxWidth).arg(Video::MaxHeight);
    case Video::Stopped: return tr("码流中断：设备不再发送图像");
    case Video::OpenError: return tr("无码流：%1").arg(detail);
    }
    return QString();
}

void VideoInfo::onStreamProblem(Video::Problem problem, const QString &detail)
{
    const QString text = problemText(problem, detail);
    if (!reconnecting.isValid()) {
        showPictureState(text);
        return;
    }
    if (problem == Video::Unsupported || problem == Video::TooLarge) {
        stopReconnecting(text);   // the restarted device streams what cannot be drawn
        return;
    }
    // Not up yet: the stream server may still be starting.
    reconnectFailure = text;
    video->close();
    const QString url = ui->lineEdit_url->text();
    QTimer::singleShot(ReopenDelayMs, this, [this, url] {
        if (reconnecting.isValid())
            ui->widget_12->play(url);
    });
}

void VideoInfo::showPictureState(const QString &text)
{
    ui->label_pictureState->setText(text);
    ui->label_pictureState->show();
    ui->label_videoSize->clear();
    ui->label_decodeFps->clear();
}

void VideoInfo::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
