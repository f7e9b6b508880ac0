#include <QtTest>

#include "update/tcpmessagebuffer.h"

Q_DECLARE_METATYPE(QList<int>)

// The update connection's byte stream, cut into 44-byte messages whatever the reads.
class TestTcpMessageBuffer : public QObject
{
    Q_OBJECT

private slots:
    void messages_come_out_whole_and_in_order_data()
    {
        QTest::addColumn<QList<int>>("reads");   // sizes of the successive reads
        QTest::addColumn<int>("total");

        QTest::newRow("one message in one read") << QList<int>{44} << 44;
        QTest::newRow("split over two reads") << QList<int>{10, 34} << 44;
        QTest::newRow("two joined in one read") << QList<int>{88} << 88;
        QTest::newRow("one and a half, then the rest") << QList<int>{66, 22} << 88;
        QTest::newRow("byte by byte") << QVector<int>(44 * 2, 1).toList() << 88;
        QTest::newRow("empty reads between") << QList<int>{0, 30, 0, 14, 0} << 44;
        QTest::newRow("short of a message") << QList<int>{43} << 43;
        QTest::newRow("many joined with a tail") << QList<int>{44 * 500 + 7} << 44 * 500 + 7;
    }

    void messages_come_out_whole_and_in_order()
    {
        QFETCH(QList<int>, reads);
        QFETCH(int, total);

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
                QCOMPARE(message.size(), TcpMessageBuffer::messageSize());
                out += message;
            }
            pending = buffer.remainder();
            QVERIFY(pending.size() < TcpMessageBuffer::messageSize());
        }
        QCOMPARE(out, stream.left(total / 44 * 44));
        QCOMPARE(pending, stream.mid(total / 44 * 44));
    }
};

QTEST_APPLESS_MAIN(TestTcpMessageBuffer)
#include "tst_tcpmessagebuffer.moc"
