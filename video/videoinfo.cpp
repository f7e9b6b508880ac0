#include "videoinfo.h"

#include <QCheckBox>

#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "ui/dialogchrome.h"
#include "ui_videoinfo.h"
#include "video/video.h"

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

    timer.start(1000);
    // The URL, the boxes and the picture come with the device's answer.
    connect->search();

    ui->label_success->hide();
    ui->widget->hide();
    ui->widget_2->hide();
    ui->widget_3->hide();
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
    // Only the first call opens; the decoder ignores the rest while this stream lives.
    ui->widget_12->play(url);
}

void VideoInfo::getSetVideoSuccess(int success)
{
    ui->label_success->setText(success ? tr("切换成功，设备重启中") : tr("切换失败"));
    ui->label_success->show();
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
    ui->label_videoSize->setText(QString::number(width) + QLatin1Char('x') + QString::number(height));
}

void VideoInfo::resetDecodeNum()
{
    ui->label_decodeFps->setText(QString::number(decodeNum));
    decodeNum = 0;
}

void VideoInfo::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
