#include "devsortfilter.h"

namespace {

// The columns the filter looks into: IP address, source address, MAC, version.
constexpr int FilteredColumns[] = {1, 2, 3, 4, DevSortFilter::LabelColumn};

} // namespace

DevSortFilter::DevSortFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    // A device that answers again may change its sort key; its row moves at once.
    setDynamicSortFilter(true);
}

void DevSortFilter::setFilterText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == filterText)
        return;
    filterText = trimmed;
    invalidateFilter();
}

bool DevSortFilter::textLess(const QString &left, const QString &right)
{
    int i = 0;
    int j = 0;
    while (i < left.size() && j < right.size()) {
        if (left.at(i).isDigit() && right.at(j).isDigit()) {
            // Whole runs of digits, as numbers: leading zeros aside, the longer run is larger.
            const int leftStart = i;
            const int rightStart = j;
            while (i < left.size() && left.at(i).isDigit())
                ++i;
            while (j < right.size() && right.at(j).isDigit())
                ++j;
            const auto significant = [](QStringRef run) {
                while (run.size() > 1 && run.at(0) == QLatin1Char('0'))
                    run = run.mid(1);
                return run;
            };
            const QStringRef x = significant(left.midRef(leftStart, i - leftStart));
            const QStringRef y = significant(right.midRef(rightStart, j - rightStart));
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int order = x.compare(y))
                return order < 0;
            continue;
        }
        const QChar a = left.at(i).toCaseFolded();
        const QChar b = right.at(j).toCaseFolded();
        if (a != b)
            return a < b;
        ++i;
        ++j;
    }
    if (left.size() - i != right.size() - j)
        return left.size() - i < right.size() - j;
    return left < right;   // equal but for case or leading zeros: still a fixed order
}

bool DevSortFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    switch (left.column()) {
    case NameColumn:   // "Device12": the number is the registry order
        return left.row() < right.row();
    case OnlineColumn:
        return left.data(OnlineRole).toBool() > right.data(OnlineRole).toBool();
    default:
        return textLess(left.data().toString(), right.data().toString());
    }
}

bool DevSortFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (filterText.isEmpty())
        return true;
    for (int column : FilteredColumns) {
        if (sourceModel()->index(sourceRow, column, sourceParent).data().toString().contains(filterText, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
