#pragma once

#include <QSortFilterProxyModel>

// The device list as the installer orders and narrows it: a click on a header
// sorts by that column the way a person reads it (192.168.147.10 after .9,
// V2.3.10 after V2.3.9, online devices first), and the filter text keeps the
// rows whose address, source address, MAC, version or label contains it. The model
// underneath stays in registry order, so a row the registry announces is still
// rewritten in place and the view's selection follows its device.
class DevSortFilter final : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DevSortFilter)

public:
    // The device list's columns that sort by more than their text.
    static constexpr int NameColumn = 0;
    static constexpr int OnlineColumn = 5;
    // A site plan's name for the device, and the address "Prepare All Update" would give it.
    static constexpr int LabelColumn = 6;
    static constexpr int AssignedColumn = 7;
    // A device row's online state, on its state cell: sorted by it, not by the translated word.
    static constexpr int OnlineRole = Qt::UserRole + 1;

    explicit DevSortFilter(QObject *parent = nullptr);

    void setFilterText(const QString &text);
    // Whether a shown text comes before another: runs of digits compare as
    // numbers, the rest without regard to case.
    static bool textLess(const QString &left, const QString &right);

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString filterText;
};
