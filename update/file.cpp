#include "file.h"

#include <QCryptographicHash>
#include <QFileInfo>

File::File(QObject *parent)
    : QObject(parent)
{
}

File::PackageCheck File::check(const QString &path)
{
    if (path.isEmpty())
        return EmptyPath;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return Missing;
    if (info.size() >= (qint64(1) << 32))
        return TooLarge;
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return Unreadable;
    return PackageOk;
}

void File::fail()
{
    loaded = false;
    emit fileLoadFail();
}

void File::loadFile(const QString &path)
{
    loaded = true;
    if (path == QLatin1String("")) {
        fail();
        return;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        fail();
        return;
    }
    fileSize = info.size();
    packetCount = fileSize / packetSize + (fileSize % packetSize ? 1 : 0);
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail();
        return;
    }
    md5 = getMd5(file.readAll());
    file.close();
}

QByteArray File::readPacket()
{
    if (!file.open(QIODevice::ReadOnly)) {
        fail();
        return QByteArray();
    }
    QByteArray packet;
    bool ok = file.seek(qint64(packetIndex) * packetSize);
    if (ok) {
        packet = file.read(packetSize);
        ok = file.error() == QFileDevice::NoError;
    }
    file.close();
    if (!ok) {
        fail();
        return QByteArray();
    }
    readSize = packet.size();
    return packet;
}

QString File::getMd5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}
