#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

class Devs;
struct Dev;

namespace Ui { class QRCode; }

// Small panel over the main window showing the selected device's QR code,
// for the installer to scan with a phone.
class QRCode final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QRCode)

public:
    explicit QRCode(QWidget *parent = nullptr);
    ~QRCode() override;

    Dev *getDevice() const;
    // Renders the selected device's code; with no device selected the square is left blank.
    void loadDevice();
    // Renders text into the image label; a text that cannot be encoded keeps the previous picture.
    void showQRCode(QString text);
    QPixmap pixmap() const { return currentPixmap; }

    // The symbol for text, one module per pixel with no quiet zone, scaled to
    // width without smoothing; null when libqrencode cannot encode the text.
    static QImage render(const QString &text, int width);
    // The text the code of dev carries.
    static QString deviceText(const Dev *dev);

private:
    Ui::QRCode *ui;
    QPixmap currentPixmap;
    Devs *devs = nullptr;
};
