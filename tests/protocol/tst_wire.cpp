#include <QtTest>

#include <cstring>

#include "protocol/wire.h"
#include "update/commpackhead.h"

// The byte layouts that devices depend on, and the bounds of every read.
class TestWire : public QObject
{
    Q_OBJECT

private slots:
    void search_request_is_16_exact_bytes()
    {
        const QByteArray bytes = Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, 0));
        QCOMPARE(bytes, QByteArray::fromHex("51a80000000000000000000000000000"));
    }

    void record_datagram_starts_with_code_and_length_276()
    {
        const QByteArray bytes = Wire::datagram(Wire::makeHead(Wire::SET_NETWORK, Wire::RecordSize), Wire::emptyRecord());
        QCOMPARE(bytes.size(), 292);
        QCOMPARE(bytes.left(8), QByteArray::fromHex("61a8000014010000"));
        QCOMPARE(bytes.mid(8), QByteArray(284, '\0'));
    }

    void reset_datagram_is_568_bytes_with_zero_tail()
    {
        msg_broadcast_t record = Wire::emptyRecord();
        std::memset(&record, 0x5a, sizeof record);
        const QByteArray bytes = Wire::datagram(Wire::makeHead(Wire::RESET_DEVICE, Wire::RecordSize), record, Wire::RecordSize);
        QCOMPARE(bytes.size(), 568);
        QCOMPARE(bytes.mid(4, 4), QByteArray::fromHex("14010000"));
        QCOMPARE(bytes.mid(16, 276), QByteArray(276, '\x5a'));
        QCOMPARE(bytes.right(276), QByteArray(276, '\0'));
    }

    void text_field_write_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("short text is NUL-padded") << "1.2.3.4" << QByteArray("1.2.3.4").append(QByteArray(9, '\0'));
        QTest::newRow("15 characters keep one NUL") << "255.255.255.255" << QByteArray("255.255.255.255").append('\0');
        QTest::newRow("16 characters fill the field") << "1234567890abcdef" << QByteArray("1234567890abcdef");
        QTest::newRow("longer text is cut") << "1234567890abcdefXYZ" << QByteArray("1234567890abcdef");
        QTest::newRow("empty text is all zero") << "" << QByteArray(16, '\0');
    }

    void text_field_write()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        char bytes[16];
        std::memset(bytes, 0x7f, sizeof bytes);
        Wire::writeText(bytes, text);
        QCOMPARE(QByteArray(bytes, 16), field);
    }

    void text_field_read_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("stops at the first NUL") << QByteArray("abc\0def", 7).append(QByteArray(17, '\0')) << "abc";
        QTest::newRow("no NUL reads the whole width only") << QByteArray(24, 'm') << QString(24, 'm');
        QTest::newRow("empty") << QByteArray(24, '\0') << "";
    }

    void text_field_read()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, text);
        msg_broadcast_t record;
        std::memset(&record, 'X', sizeof record);   // the bytes after mac are not NUL
        std::memcpy(record.mac, field.constData(), sizeof record.mac);
        QCOMPARE(Wire::readText(record.mac), text);
    }

    void reads_never_pass_the_end_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("ok");
        QTest::newRow("empty datagram, header") << 0 << 0 << 16 << false;
        QTest::newRow("15 bytes, header") << 15 << 0 << 16 << false;
        QTest::newRow("16 bytes, header") << 16 << 0 << 16 << true;
        QTest::newRow("291 bytes, record") << 291 << 16 << 276 << false;
        QTest::newRow("292 bytes, record") << 292 << 16 << 276 << true;
        QTest::newRow("400 bytes, record") << 400 << 16 << 276 << true;
        QTest::newRow("negative offset") << 100 << -1 << 16 << false;
    }

    void reads_never_pass_the_end()
    {
        QFETCH(int, size);
        QFETCH(int, offset);
        QFETCH(int, width);
        QFETCH(bool, ok);
        const QByteArray data(size, '\x11');
        QByteArray out(width, '\x22');
        QCOMPARE(Wire::readAt(data, offset, out.data(), width), ok);
        QCOMPARE(out, ok ? QByteArray(width, '\x11') : QByteArray(width, '\x22'));
    }

    void record_round_trips_byte_for_byte()
    {
        QByteArray bytes(292, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + 3);
        msg_broadcast_t record;
        QVERIFY(Wire::read(bytes, 16, record));
        msg_head_t head;
        QVERIFY(Wire::read(bytes, 0, head));
        QCOMPARE(Wire::datagram(head, record), bytes);
    }

    void transfer_header_layout()
    {
        COMM_PACK_HEAD head;
        std::memset(&head, 0, sizeof head);
        head.cmd = Transfer::SEND_UPDATE_PATCH;
        head.fileSize = 0x01020304;
        std::memcpy(head.md5, "9e10", 4);
        const QByteArray bytes(reinterpret_cast<const char *>(&head), sizeof head);
        QCOMPARE(bytes.left(12), QByteArray::fromHex("0200000004030201") + "9e10");
        QCOMPARE(bytes.mid(12), QByteArray(32, '\0'));
    }
};

QTEST_APPLESS_MAIN(TestWire)
#include "tst_wire.moc"
