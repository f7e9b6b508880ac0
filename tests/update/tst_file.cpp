#include <QtTest>
#include <QCryptographicHash>
#include <QTemporaryDir>

#include "update/file.h"

// The package: packet boundaries, digest, and refusal of what cannot be sent.
class TestFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString package(qint64 size, const QString &name = QStringLiteral("package.bin"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QByteArray bytes(int(size), '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 131 + i / 8192) & 0xff);
        file.write(bytes);
        return path;
    }

private slots:
    void packets_cover_the_file_exactly_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("packets");
        QTest::addColumn<int>("lastPacket");
        QTest::newRow("empty") << qint64(0) << qint64(0) << 0;
        QTest::newRow("one byte") << qint64(1) << qint64(1) << 1;
        QTest::newRow("exactly one packet") << qint64(8192) << qint64(1) << 8192;
        QTest::newRow("three packets") << qint64(3 * 8192) << qint64(3) << 8192;
        QTest::newRow("three packets and a byte") << qint64(3 * 8192 + 1) << qint64(4) << 1;
    }

    void packets_cover_the_file_exactly()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, packets);
        QFETCH(int, lastPacket);
        const QString path = package(size);
        File file;
        file.loadFile(File::measure(path));
        QVERIFY(file.isLoaded());
        QCOMPARE(file.getFileSize(), size);
        QCOMPARE(file.getPacketCount(), packets);
        QByteArray joined;
        QByteArray last;
        while (!file.isFinished()) {
            last = file.readPacket();
            joined += last;
            file.nextPacket();
        }
        QCOMPARE(last.size(), lastPacket);
        QFile whole(path);
        whole.open(QIODevice::ReadOnly);
        const QByteArray expected = whole.readAll();
        QCOMPARE(joined, expected);
        QCOMPARE(file.getFileMd5(), QString::fromLatin1(QCryptographicHash::hash(expected, QCryptographicHash::Md5).toHex()));
        QCOMPARE(file.getFileMd5().size(), 32);
    }

    void unloadable_paths_fail_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("check");
        QTest::newRow("empty path") << QString() << int(File::EmptyPath);
        QTest::newRow("missing file") << dir.filePath("nothing-here.bin") << int(File::Missing);
        QTest::newRow("a folder") << dir.path() << int(File::Missing);
    }

    void unloadable_paths_fail()
    {
        QFETCH(QString, path);
        QFETCH(int, check);
        QCOMPARE(int(File::check(path)), check);
        File file;
        QSignalSpy failed(&file, SIGNAL(fileLoadFail()));
        file.loadFile(File::measure(path));
        QVERIFY(!file.isLoaded());
        QCOMPARE(failed.size(), 1);
    }

    void package_of_4_gib_is_refused()
    {
        const QString path = dir.filePath("huge.bin");
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(qint64(1) << 32));   // sparse: no disk space is used
        huge.close();
        QCOMPARE(File::check(path), File::TooLarge);
        QVERIFY(huge.resize((qint64(1) << 32) - 1));
        QCOMPARE(File::check(path), File::PackageOk);
    }

    void two_readers_keep_their_own_position()
    {
        const QString path = package(3 * 8192);
        QFile whole(path);
        whole.open(QIODevice::ReadOnly);
        const QByteArray bytes = whole.readAll();
        File a;
        File b;
        a.loadFile(File::measure(path));
        b.loadFile(File::measure(path));
        a.nextPacket();
        a.nextPacket();
        QCOMPARE(a.readPacket(), bytes.mid(2 * 8192, 8192));
        QCOMPARE(b.readPacket(), bytes.left(8192));
        b.nextPacket();
        QCOMPARE(b.readPacket(), bytes.mid(8192, 8192));
    }

    void package_removed_mid_transfer_stops_reading()
    {
        const QString path = package(2 * 8192, QStringLiteral("vanishing.bin"));
        File file;
        file.loadFile(File::measure(path));
        QSignalSpy failed(&file, SIGNAL(fileLoadFail()));
        QVERIFY(!file.readPacket().isEmpty());
        QFile::remove(path);
        file.nextPacket();
        QVERIFY(file.readPacket().isEmpty());
        QVERIFY(!file.isLoaded());
        QCOMPARE(failed.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFile)
#include "tst_file.moc"
