// The update server's pure parts: refusal of a package that cannot be sent or
// that goes while it is sent, and the 44-byte messages cut out of the device's
// byte stream whatever the reads. The packets a package is cut into, and its
// digest, are read off what devices take in tst_updaterun.

#include <QtTest>
#include <QTemporaryDir>

#include "support/runrig.h"
#include "update/file.h"
#include "update/tcpmessagebuffer.h"

class TestFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void unusable_packages_are_refused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("size");   // of a sparse file made at path
        QTest::addColumn<int>("check");
        QTest::newRow("empty path") << QString() << qint64(-1) << int(File::EmptyPath);
        QTest::newRow("missing file") << dir.filePath("nothing-here.bin") << qint64(-1) << int(File::Missing);
        QTest::newRow("a folder") << dir.path() << qint64(-1) << int(File::Missing);
        QTest::newRow("4 GiB") << dir.filePath("huge.bin") << (qint64(1) << 32) << int(File::TooLarge);
        QTest::newRow("a byte less") << dir.filePath("huge.bin") << (qint64(1) << 32) - 1 << int(File::PackageOk);
    }

    void unusable_packages_are_refused()
    {
        QFETCH(QString, path);
        QFETCH(qint64, size);
        QFETCH(int, check);
        QFile sparse(path);   // takes no disk space
        QVERIFY(size < 0 || (sparse.open(QIODevice::WriteOnly) && sparse.resize(size)));
        sparse.close();
        QCOMPARE(int(File::check(path)), check);
        if (size >= 0)
            return;
        File file;
        QSignalSpy failed(&file, SIGNAL(fileLoadFail()));
        file.loadFile(File::measure(path));
        QVERIFY(!file.isLoaded());
        QCOMPARE(failed.size(), 1);
    }

    void package_removed_mid_transfer_stops_reading()
    {
        writePackage(dir.filePath("vanishing.bin"), 2 * 8192);
        File file;
        file.loadFile(File::measure(dir.filePath("vanishing.bin")));
        QSignalSpy failed(&file, SIGNAL(fileLoadFail()));
        QVERIFY(!file.readPacket().isEmpty());
        QFile::remove(dir.filePath("vanishing.bin"));
        file.nextPacket();
        QVERIFY(file.readPacket().isEmpty());
        QVERIFY(!file.isLoaded());
        QCOMPARE(failed.size(), 1);
    }

    void messages_come_out_whole_and_in_order_data()
    {
        QTest::addColumn<QList<int>>("reads");   // sizes of the successive reads
        QTest::newRow("split over two reads") << QList<int>{10, 34};
        QTest::newRow("one and a half, then the rest") << QList<int>{66, 22};
        QTest::newRow("byte by byte") << QVector<int>(88, 1).toList();
        QTest::newRow("empty reads between") << QList<int>{0, 30, 0, 14, 0};
        QTest::newRow("many joined with a tail") << QList<int>{44 * 500 + 7};
    }

    void messages_come_out_whole_and_in_order()
    {
        QFETCH(QList<int>, reads);
        const int total = std::accumulate(reads.cbegin(), reads.cend(), 0);
        QByteArray stream(total, '\0');
        for (int i = 0; i < total; ++i)
            stream[i] = char(i * 7 + i / 44);
        QByteArray pending;   // what the engine keeps between reads
        QByteArray out;
        int at = 0;
        for (int size : reads) {
            TcpMessageBuffer buffer(pending);
            buffer.append(stream.mid(at, size));
            at += size;
            for (const QByteArray &message : buffer.takeMessages()) {
                QCOMPARE(message.size(), 44);
                out += message;
            }
            pending = buffer.remainder();
        }
        QCOMPARE(out + pending, stream);
        QCOMPARE(pending.size(), total % 44);
    }
};

QTEST_GUILESS_MAIN(TestFile)
#include "tst_file.moc"
