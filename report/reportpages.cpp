#include "reportpages.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

namespace {

// Sizes in points: 8-point table text is what a printed sheet of this many
// columns still reads well at, on paper and at 100 % on a screen.
constexpr qreal TitleSize = 18;
constexpr qreal HeadingSize = 12;
constexpr qreal TextSize = 9;
constexpr qreal TableSize = 8;
constexpr qreal FooterSize = 7.5;
constexpr qreal CellPad = 3;
constexpr qreal TitlePad = 8;
constexpr qreal FooterGap = 6;

const QColor TitleBand(0x21, 0x21, 0x21);
const QColor HeaderFill(0xdf, 0xe3, 0xe8);
const QColor StripeFill(0xf4, 0xf5, 0xf7);
const QColor Rule(0xc4, 0xc9, 0xd0);
const QColor FooterInk(0x55, 0x55, 0x55);

} // namespace

// Walks the blocks down the pages twice: once to count the pages, once to
// paint them with "page n of count" in their footers. Heights are measured
// once, before either walk.
class ReportPages::Flow
{
public:
    Flow(const QVector<Block> &blocks, QPdfWriter &writer)
        : m_blocks(blocks)
        , m_writer(&writer)
        , m_unit(writer.resolution() / 72.0)
        , m_width(writer.width())
        , m_title(font(TitleSize, true))
        , m_heading(font(HeadingSize, true))
        , m_text(font(TextSize, false))
        , m_cell(font(TableSize, false))
        , m_head(font(TableSize, true))
        , m_foot(font(FooterSize, false))
    {
        m_bottom = writer.height() - QFontMetricsF(m_foot, m_writer).height() - FooterGap * m_unit;
        measure();
    }

    int countPages()
    {
        m_painter = nullptr;
        walk();
        return m_page;
    }

    void paint(QPainter &painter, const QString &footer, const std::function<QString(int, int)> &pageWords, int count)
    {
        m_painter = &painter;
        m_footer = footer;
        m_pageWords = pageWords;
        m_count = count;
        walk();
        paintFooter();
    }

private:
    QFont font(qreal points, bool bold) const
    {
        QFont made = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        made.setPointSizeF(points);
        made.setBold(bold);
        // Unshaped text keeps "ff" and "fi" as letters: no ligatures in what is copied out of the PDF.
        made.setStyleStrategy(QFont::PreferNoShaping);
        return made;
    }

    const QFont &fontOf(Block::Kind kind) const
    {
        switch (kind) {
        case Block::Title:
            return m_title;
        case Block::Heading:
            return m_heading;
        default:
            return m_text;
        }
    }

    // Space above a block that follows one of kind after, left out at the top of a page.
    qreal spaceBefore(Block::Kind kind, Block::Kind after) const
    {
        switch (kind) {
        case Block::Heading:
            return 14 * m_unit;
        case Block::Table:
            return 4 * m_unit;
        case Block::Line:
            return (after == Block::Title ? 8 : 1.5) * m_unit;
        default:
            return 0;
        }
    }

    static void wrap(QTextLayout &layout, qreal width)
    {
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        qreal y = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
    }

    // Most cells are one short line: those skip the text layout.
    bool oneLine(const QString &text, const QFont &f, qreal width) const
    {
        return !text.contains(QLatin1Char('\n')) && QFontMetricsF(f, m_writer).horizontalAdvance(text) <= width;
    }

    static QString withBreaks(QString text) { return text.replace(QLatin1Char('\n'), QChar::LineSeparator); }

    qreal textHeight(const QString &text, const QFont &f, qreal width) const
    {
        if (oneLine(text, f, width))
            return QFontMetricsF(f, m_writer).height();
        QTextLayout layout(withBreaks(text), f, m_writer);
        wrap(layout, width);
        return layout.boundingRect().height();
    }

    void drawText(const QString &text, const QFont &f, const QRectF &box, const QColor &ink)
    {
        m_painter->setFont(f);
        m_painter->setPen(ink);
        if (oneLine(text, f, box.width())) {
            m_painter->drawText(QPointF(box.left(), box.top() + QFontMetricsF(f, m_writer).ascent()), text);
            return;
        }
        QTextLayout layout(withBreaks(text), f, m_writer);
        wrap(layout, box.width());
        layout.draw(m_painter, box.topLeft());
    }

    qreal columnLeft(const Block &table, int column) const
    {
        qreal share = 0;
        for (int i = 0; i < column; ++i)
            share += table.columns.at(i).share;
        return share * m_width;
    }

    qreal rowHeight(const Block &table, const QStringList &cells, const QFont &f) const
    {
        qreal tallest = 0;
        for (int i = 0; i < table.columns.size(); ++i) {
            const qreal inner = table.columns.at(i).share * m_width - 2 * CellPad * m_unit;
            tallest = qMax(tallest, textHeight(cells.value(i), f, inner));
        }
        return tallest + 2 * CellPad * m_unit;
    }

    static QStringList titles(const Block &table)
    {
        QStringList made;
        for (const Column &column : table.columns)
            made << column.title;
        return made;
    }

    void measure()
    {
        for (const Block &block : m_blocks) {
            QVector<qreal> rows;
            if (block.kind == Block::Table) {
                m_heights << rowHeight(block, titles(block), m_head);
                for (const Row &row : block.rows)
                    rows << rowHeight(block, row.cells, m_cell);
            } else {
                const qreal pad = block.kind == Block::Title ? 2 * TitlePad * m_unit : 0;
                m_heights << textHeight(block.text, fontOf(block.kind), m_width - pad) + pad;
            }
            m_rowHeights << rows;
        }
    }

    // What must fit below the cursor for block i to start here: a heading
    // takes the start of what follows it along.
    qreal firstPart(int i) const
    {
        const Block &block = m_blocks.at(i);
        qreal need = m_heights.at(i);
        if (block.kind == Block::Table && !block.rows.isEmpty())
            need += m_rowHeights.at(i).first();
        if (block.kind == Block::Heading && i + 1 < m_blocks.size() && !m_blocks.at(i + 1).onNewPage)
            need += spaceBefore(m_blocks.at(i + 1).kind, block.kind) + firstPart(i + 1);
        return need;
    }

    void newPage()
    {
        if (m_painter) {
            paintFooter();
            m_writer->newPage();
        }
        ++m_page;
        m_y = 0;
    }

    void paintFooter()
    {
        const QFontMetricsF metrics(m_foot, m_writer);
        const qreal top = m_bottom + FooterGap * m_unit;
        m_painter->setPen(QPen(Rule, 0.5 * m_unit));
        m_painter->drawLine(QPointF(0, top - FooterGap * m_unit / 2), QPointF(m_width, top - FooterGap * m_unit / 2));
        m_painter->setFont(m_foot);
        m_painter->setPen(FooterInk);
        const qreal baseline = top + metrics.ascent();
        m_painter->drawText(QPointF(0, baseline), m_footer);
        const QString words = m_pageWords(m_page, m_count);
        m_painter->drawText(QPointF(m_width - metrics.horizontalAdvance(words), baseline), words);
    }

    void paintRow(const Block &table, const QStringList &cells, const QFont &f, qreal height, const QColor &fill,
                  const QColor &ink)
    {
        if (fill.isValid())
            m_painter->fillRect(QRectF(0, m_y, m_width, height), fill);
        const qreal pad = CellPad * m_unit;
        for (int i = 0; i < table.columns.size(); ++i) {
            const qreal left = columnLeft(table, i);
            const qreal width = table.columns.at(i).share * m_width;
            drawText(cells.value(i), f, QRectF(left + pad, m_y + pad, width - 2 * pad, height - 2 * pad), ink);
        }
        m_painter->setPen(QPen(Rule, 0.5 * m_unit));
        m_painter->drawLine(QPointF(0, m_y + height), QPointF(m_width, m_y + height));
    }

    void placeHeader(int i)
    {
        if (m_painter)
            paintRow(m_blocks.at(i), titles(m_blocks.at(i)), m_head, m_heights.at(i), HeaderFill, Qt::black);
        m_y += m_heights.at(i);
    }

    void placeTable(int i)
    {
        const Block &table = m_blocks.at(i);
        placeHeader(i);
        for (int r = 0; r < table.rows.size(); ++r) {
            const qreal height = m_rowHeights.at(i).at(r);
            // A row taller than a page is cut at the foot rather than moved on forever.
            if (m_y + height > m_bottom && m_y > m_heights.at(i)) {
                newPage();
                placeHeader(i);
            }
            if (m_painter)
                paintRow(table, table.rows.at(r).cells, m_cell, height, r % 2 ? StripeFill : QColor(),
                         table.rows.at(r).ink);
            m_y += height;
        }
    }

    void placeText(int i)
    {
        const Block &block = m_blocks.at(i);
        const qreal height = m_heights.at(i);
        if (m_painter) {
            QRectF box(0, m_y, m_width, height);
            QColor ink = Qt::black;
            if (block.kind == Block::Title) {
                m_painter->fillRect(box, TitleBand);
                box.adjust(TitlePad * m_unit, TitlePad * m_unit, -TitlePad * m_unit, -TitlePad * m_unit);
                ink = Qt::white;
            }
            drawText(block.text, fontOf(block.kind), box, ink);
        }
        m_y += height;
    }

    void walk()
    {
        m_page = 1;
        m_y = 0;
        for (int i = 0; i < m_blocks.size(); ++i) {
            const Block &block = m_blocks.at(i);
            if (block.onNewPage && m_y > 0)
                newPage();
            if (m_y > 0)
                m_y += spaceBefore(block.kind, m_blocks.at(i - 1).kind);
            if (m_y > 0 && m_y + firstPart(i) > m_bottom)
                newPage();
            if (block.kind == Block::Table)
                placeTable(i);
            else
                placeText(i);
        }
    }

    const QVector<Block> &m_blocks;
    QPdfWriter *m_writer;
    qreal m_unit;   // device units per point
    qreal m_width;
    qreal m_bottom = 0;   // where the footer's space begins
    QFont m_title, m_heading, m_text, m_cell, m_head, m_foot;
    QVector<qreal> m_heights;               // of each block; a table's header row
    QVector<QVector<qreal>> m_rowHeights;   // of each table's rows

    QPainter *m_painter = nullptr;   // null while counting
    QString m_footer;
    std::function<QString(int, int)> m_pageWords;
    int m_count = 0;
    int m_page = 1;
    qreal m_y = 0;
};

void ReportPages::addTitle(const QString &text)
{
    m_blocks.append({Block::Title, text, false, {}, {}});
}

void ReportPages::addLine(const QString &text)
{
    m_blocks.append({Block::Line, text, false, {}, {}});
}

void ReportPages::addHeading(const QString &text, bool onNewPage)
{
    m_blocks.append({Block::Heading, text, onNewPage, {}, {}});
}

void ReportPages::addTable(const QVector<Column> &columns, const QVector<Row> &rows)
{
    m_blocks.append({Block::Table, QString(), false, columns, rows});
}

bool ReportPages::print(QPdfWriter &writer, const QString &footer,
                        const std::function<QString(int, int)> &pageWords) const
{
    Flow flow(m_blocks, writer);
    const int count = flow.countPages();
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    flow.paint(painter, footer, pageWords, count);
    return painter.end();
}
