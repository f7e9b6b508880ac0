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

Package File::measure(const QString &path)
{
    Package package;
    package.path = path;
    package.modified = QFileInfo(path).lastModified();
    QFile whole(path);
    if (path.isEmpty() || !whole.open(QIODevice::ReadOnly))
        return package;
    QCryptographicHash md5(QCryptographicHash::Md5);
    if (!md5.addData(&whole))
        return package;
    package.size = whole.pos();
    package.md5 = QString::fromLatin1(md5.result().toHex());
    return package;
}

void File::loadFile(const Package &package)
{
    loaded = true;
    if (!package.isValid()) {
        fail();
        return;
    }
    fileSize = package.size;
    packetCount = fileSize / packetSize + (fileSize % packetSize ? 1 : 0);
    md5 = package.md5;
    file.setFileName(package.path);
}

QByteArray File::readPacket()
{
    if (!file.open(QIODevice::ReadOnly)) {
        fail();
        return QByteArray();
    }
    QByteArray packet;
    bool ok = file.seek(packetIndex * packetSize);
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
