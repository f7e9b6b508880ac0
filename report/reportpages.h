#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QPdfWriter;

// A printed document of a title, lines, headings and tables, flowed onto the
// pages of a PDF: a table that runs over a page repeats its header row on the
// next, a heading never stands alone at the foot of a page, and every page
// carries a footer with its number.
class ReportPages final
{
public:
    struct Column
    {
        QString title;
        qreal share = 0;   // of the width between the margins
    };
    struct Row
    {
        QStringList cells;   // a cell's text wraps in its column; "\n" starts a line
        QColor ink = Qt::black;
    };

    void addTitle(const QString &text);
    void addLine(const QString &text);
    // onNewPage: the heading and what follows start a page of their own.
    void addHeading(const QString &text, bool onNewPage = false);
    void addTable(const QVector<Column> &columns, const QVector<Row> &rows);

    // Paints the pages into writer, whose page size, orientation and margins
    // are set; footer stands at the left of each page's foot and pageWords(page,
    // count) at the right. False when the writer cannot be painted on.
    bool print(QPdfWriter &writer, const QString &footer, const std::function<QString(int, int)> &pageWords) const;

private:
    class Flow;   // measures and paints the blocks, page by page

    struct Block
    {
        enum Kind { Title, Line, Heading, Table };
        Kind kind = Line;
        QString text;
        bool onNewPage = false;
        QVector<Column> columns;
        QVector<Row> rows;
    };

    QVector<Block> m_blocks;
};
