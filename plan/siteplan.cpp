#include "siteplan.h"

#include <QHash>
#include <QStringList>
#include <QTextCodec>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "ui/ipv4input.h"

namespace {

enum Column { Mac, Ip, Mask, Gateway, Dns, Dhcp, Label, ColumnCount };

// Header names in lower case. Besides the plan's own names, those that
// "Export list…" writes in either language ("MAC address", "IP address"), so
// that an exported list reads back as a plan; its other columns (device,
// source address, version, online) are not read.
const QHash<QString, Column> &columnNames()
{
    static const QHash<QString, Column> names{
        {QStringLiteral("mac"), Mac}, {QStringLiteral("mac address"), Mac}, {QStringLiteral("mac地址"), Mac},
        {QStringLiteral("ip"), Ip}, {QStringLiteral("ip address"), Ip}, {QStringLiteral("ip地址"), Ip},
        {QStringLiteral("mask"), Mask}, {QStringLiteral("gateway"), Gateway}, {QStringLiteral("dns"), Dns},
        {QStringLiteral("dhcp"), Dhcp}, {QStringLiteral("label"), Label}, {QStringLiteral("标签"), Label},
    };
    return names;
}

// The words a spreadsheet user writes for DHCP on and off, in lower case;
// 开启 and 关闭 are those of the network dialog.
const QHash<QString, bool> &dhcpWords()
{
    static const QHash<QString, bool> words{
        {QStringLiteral("1"), true}, {QStringLiteral("yes"), true}, {QStringLiteral("true"), true},
        {QStringLiteral("on"), true}, {QStringLiteral("开启"), true},
        {QStringLiteral("0"), false}, {QStringLiteral("no"), false}, {QStringLiteral("false"), false},
        {QStringLiteral("off"), false}, {QStringLiteral("关闭"), false},
    };
    return words;
}

struct Record
{
    int line = 1;
    QStringList fields;
};

struct Refusal
{
    int line = 0;
    QString reason;   // empty: none
};

// Splits text into RFC 4180 records (doubled quotes, separators and line ends
// inside quotes) and hands each to take, in order, until take returns false.
// A broken quote or an overlong line stops it with a refusal.
Refusal splitRecords(const QString &text, QChar separator, const std::function<bool(Record &)> &take)
{
    const int size = text.size();
    const auto endsField = [&](int i) {
        return i >= size || text.at(i) == separator || text.at(i) == QLatin1Char('\n') || text.at(i) == QLatin1Char('\r');
    };
    Record record;
    int line = 1;
    int recordStart = 0;
    // Each turn reads one field and the character that ends it.
    for (int i = 0; i <= size; ++i) {
        QString field;
        if (i < size && text.at(i) == QLatin1Char('"')) {
            const int quoteLine = line;
            for (++i;; i += 2) {
                const int close = text.indexOf(QLatin1Char('"'), i);
                if (close < 0)
                    return {quoteLine, SitePlan::tr("引号没有闭合")};
                const QStringRef chunk = text.midRef(i, close - i);
                line += chunk.count(QLatin1Char('\n'));
                field += chunk;
                i = close;
                if (i + 1 >= size || text.at(i + 1) != QLatin1Char('"'))
                    break;
                field += QLatin1Char('"');
            }
            if (!endsField(++i))
                return {line, SitePlan::tr("右引号后还有文字")};
        } else {
            const int start = i;
            for (; !endsField(i); ++i) {
                if (text.at(i) == QLatin1Char('"'))
                    return {line, SitePlan::tr("未加引号的字段中有引号")};
            }
            field = text.mid(start, i - start);
        }
        if (i - recordStart > SitePlan::MaxLineChars)
            return {record.line, SitePlan::tr("超过%1个字符").arg(SitePlan::MaxLineChars)};
        record.fields << field;
        if (i < size && text.at(i) == separator)
            continue;
        if (i + 1 < size && text.at(i) == QLatin1Char('\r') && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        if (!take(record))
            return {};
        record = Record{++line, {}};
        recordStart = i + 1;
    }
    return {};
}

// The first line that holds a non-blank character decides: a spreadsheet in
// a European locale writes semicolons, since the comma is its decimal mark.
QChar separatorOf(const QString &text)
{
    for (int start = 0;;) {
        const int end = text.indexOf(QLatin1Char('\n'), start);
        const QStringRef line = text.midRef(start, end < 0 ? -1 : end - start);
        if (!line.trimmed().isEmpty() || end < 0)
            return line.count(QLatin1Char(';')) > line.count(QLatin1Char(',')) ? QLatin1Char(';') : QLatin1Char(',');
        start = end + 1;
    }
}

int lineAt(const QByteArray &data, int offset)
{
    return int(std::count(data.cbegin(), data.cbegin() + offset, '\n')) + 1;
}

// The line of the first byte that is not UTF-8; a line end never stands
// inside a UTF-8 sequence, so each line can be decoded alone.
int firstNonUtf8Line(const QByteArray &data)
{
    QTextCodec *utf8 = QTextCodec::codecForMib(106);
    int number = 1;
    for (int start = 0;; ++number) {
        const int end = data.indexOf('\n', start);
        const int length = (end < 0 ? data.size() : end) - start;
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        utf8->toUnicode(data.constData() + start, length, &state);
        if (state.invalidChars > 0 || state.remainingChars > 0 || end < 0)
            return number;
        start = end + 1;
    }
}

// "Export list…" keeps a text that a spreadsheet would run as a formula as
// text by a leading apostrophe; the plan wants the text.
QString cellText(const QString &field)
{
    const QString text = field.trimmed();
    if (text.size() > 1 && text.at(0) == QLatin1Char('\'') && QStringLiteral("=+-@").contains(text.at(1)))
        return text.mid(1);
    return text;
}

PlanLine::Problem problemOf(const PlanLine &line, bool dhcpKnown)
{
    const auto badAddress = [](const QString &text) { return !text.isEmpty() && !Ipv4Input::parse(text); };
    if (SitePlan::macKey(line.mac).isEmpty())
        return PlanLine::BadMac;
    if (!dhcpKnown)
        return PlanLine::BadDhcp;
    if (badAddress(line.ip))
        return PlanLine::BadAddress;
    if (badAddress(line.mask) || (!line.mask.isEmpty() && !Ipv4Input::isNetmask(*Ipv4Input::parse(line.mask))))
        return PlanLine::BadMask;
    if (badAddress(line.gateway))
        return PlanLine::BadGateway;
    if (badAddress(line.dns))
        return PlanLine::BadDns;
    if (line.ip.isEmpty() && !line.dhcp.value_or(false))
        return PlanLine::NoAddress;
    return PlanLine::NoProblem;
}

PlanLine planLine(const Record &record, const std::array<int, ColumnCount> &columnAt)
{
    const auto cell = [&](Column column) { return cellText(record.fields.value(columnAt[column])); };
    PlanLine line;
    line.line = record.line;
    line.mac = cell(Mac);
    line.ip = cell(Ip);
    line.mask = cell(Mask);
    line.gateway = cell(Gateway);
    line.dns = cell(Dns);
    line.label = cell(Label);
    const QString dhcp = cell(Dhcp).toLower();
    const auto word = dhcpWords().constFind(dhcp);
    if (word != dhcpWords().cend())
        line.dhcp = *word;
    line.problem = problemOf(line, dhcp.isEmpty() || line.dhcp);
    return line;
}

} // namespace

SitePlan SitePlan::refused(int line, const QString &reason)
{
    SitePlan plan;
    plan.refusedLine = line;
    plan.refusal = reason;
    return plan;
}

QHash<QString, QString> SitePlan::labels() const
{
    QHash<QString, QString> byMac;
    for (const PlanLine &line : lines) {
        if (!line.label.isEmpty())
            byMac.insert(line.mac, line.label);
    }
    return byMac;
}

QString SitePlan::refusalText() const
{
    return refusedLine > 0 ? tr("第%1行：%2").arg(refusedLine).arg(refusal) : refusal;
}

QString SitePlan::macKey(const QString &mac)
{
    QString digits;
    digits.reserve(12);
    for (const QChar c : mac) {
        const ushort u = c.unicode();
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F'))
            digits += c;
        else if (u >= 'a' && u <= 'f')
            digits += QChar(u - 'a' + 'A');
        else if (u != ':' && u != '-' && u != '.' && u != ' ')
            return {};
    }
    return digits.size() == 12 ? digits : QString();
}

SitePlan SitePlan::read(const QByteArray &bytes)
{
    if (bytes.size() > MaxBytes)
        return refused(0, tr("文件超过%1 MiB").arg(MaxBytes / (1024 * 1024)));
    const QByteArray data = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    if (data.trimmed().isEmpty())
        return refused(0, tr("文件是空的"));
    const int nul = data.indexOf('\0');
    if (nul >= 0)
        return refused(lineAt(data, nul), tr("含有空字节，不是文本文件"));
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = QTextCodec::codecForMib(106)->toUnicode(data.constData(), data.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return refused(firstNonUtf8Line(data), tr("不是UTF-8文本"));

    SitePlan plan;
    std::array<int, ColumnCount> columnAt;
    columnAt.fill(-1);
    int headerLine = 0;
    Refusal refusal;
    const Refusal broken = splitRecords(text, separatorOf(text), [&](Record &record) {
        if (std::all_of(record.fields.cbegin(), record.fields.cend(), [](const QString &f) { return f.trimmed().isEmpty(); }))
            return true;
        if (headerLine > 0) {
            if (plan.lines.size() == MaxLines) {
                refusal = {record.line, tr("计划超过%1行").arg(MaxLines)};
                return false;
            }
            plan.lines << planLine(record, columnAt);
            return true;
        }
        headerLine = record.line;
        for (int index = 0; index < record.fields.size(); ++index) {
            const QString name = record.fields.at(index).trimmed();
            const auto column = columnNames().constFind(name.toLower());
            if (column == columnNames().cend())
                continue;
            if (columnAt[*column] >= 0) {
                refusal = {record.line, tr("列%1出现了两次").arg(name)};
                return false;
            }
            columnAt[*column] = index;
        }
        if (columnAt[Mac] < 0)
            refusal = {record.line, tr("没有mac列")};
        else if (columnAt[Ip] < 0 && columnAt[Dhcp] < 0)
            refusal = {record.line, tr("没有ip列，也没有dhcp列")};
        return refusal.reason.isEmpty();
    });
    if (!broken.reason.isEmpty())
        return refused(broken.line, broken.reason);
    if (!refusal.reason.isEmpty())
        return refused(refusal.line, refusal.reason);
    if (headerLine == 0)
        return refused(0, tr("文件是空的"));
    if (plan.lines.isEmpty())
        return refused(headerLine, tr("标题行下面没有计划行"));
    return plan;
}
