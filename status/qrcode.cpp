#include "qrcode.h"

#include <QImage>

#include <qrencode.h>

#include "registry/dev.h"
#include "registry/devs.h"
#include "ui_qrcode.h"

QRCode::QRCode(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::QRCode)
    , devs(Devs::instance())
{
    ui->setupUi(this);
}

QRCode::~QRCode()
{
    delete ui;
}

Dev *QRCode::getDevice() const
{
    return devs->getSelected();
}

QString QRCode::deviceText(const Dev *dev)
{
    // The MAC address: it is the one field that names the box for good. The
    // address changes with every "Network Config" and "Prepare All Update"
    // done from this tool, and the version with every update, so a code the
    // installer scans into a phone's site list stays true only if it carries
    // the MAC. It is also the text printed on the device's label, so a scan
    // can be matched to the box on the wall, and the encoder's folding of
    // letters to upper case leaves its meaning unchanged.
    return dev->mac();
}

void QRCode::loadDevice()
{
    const Dev *dev = getDevice();
    if (dev) {
        showQRCode(deviceText(dev));
    } else {
        // Another device's code left in place would be worse than none.
        currentPixmap = QPixmap();
        ui->label_qrImage->clear();
    }
}

QImage QRCode::render(const QString &text, int width)
{
    const QByteArray bytes = text.toLocal8Bit();
    // Version 2 at least, so that short texts still fill the square with modules of a
    // visible size; libqrencode picks a larger version when the text needs one.
    QRcode *code = QRcode_encodeString(bytes.constData(), 2, QR_ECLEVEL_L, QR_MODE_8, 0);
    if (!code)
        return QImage();   // empty, or too long for any version

    const int modules = code->width;
    QImage symbol(modules, modules, QImage::Format_Indexed8);
    symbol.setColorTable({0xFFFFFFFF, 0xFF000000, 0xFF000000});
    symbol.fill(0);
    for (int y = 0; y < modules; ++y) {
        const unsigned char *row = code->data + y * modules;
        for (int x = 0; x < modules; ++x)
            symbol.setPixel(x, y, (row[x] & 1) ? 1 : 0);
    }
    QRcode_free(code);
    return symbol.scaledToWidth(width, Qt::FastTransformation);
}

void QRCode::showQRCode(QString text)
{
    const QImage image = render(text, ui->label_qrImage->width());
    if (image.isNull())
        return;
    currentPixmap = QPixmap::fromImage(image);
    ui->label_qrImage->setPixmap(currentPixmap);
}
