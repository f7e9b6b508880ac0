#include "dryrunmodel.h"

#include <QBrush>
#include <QColor>

namespace {

const QColor RefusedColor(0xe0, 0x20, 0x20);   // the network dialog's warning red
const QColor AlreadySoColor(160, 160, 160);
const QColor AnswersColor(0, 140, 0);
const QColor PlainColor(0, 0, 0);

QColor colourOf(DryRunRow::State state)
{
    switch (state) {
    case DryRunRow::WillChange:
    case DryRunRow::NotFound:
    case DryRunRow::Offline:
        return PlainColor;
    case DryRunRow::AlreadySo:
        return AlreadySoColor;
    case DryRunRow::Answers:
        return AnswersColor;
    default:
        return RefusedColor;
    }
}

} // namespace

DryRunModel::DryRunModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void DryRunModel::setRows(const QList<DryRunRow> &rows)
{
    beginResetModel();
    planRows = rows;
    endResetModel();
}

int DryRunModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : planRows.size();
}

int DryRunModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DryRunModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= planRows.size())
        return {};
    const DryRunRow &row = planRows.at(index.row());
    if (role == Qt::ForegroundRole)
        return QBrush(colourOf(row.state));
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case LabelColumn: return row.label;
    case MacColumn: return row.mac;
    case CurrentIpColumn: return row.currentIp;
    case CurrentMaskColumn: return row.currentMask;
    case CurrentGatewayColumn: return row.currentGateway;
    case PlannedIpColumn: return DryRun::plannedIpText(row);
    // With DHCP the device takes its mask and gateway from the DHCP server.
    case PlannedMaskColumn: return row.dhcp ? QString() : row.mask;
    case PlannedGatewayColumn: return row.dhcp ? QString() : row.gateway;
    case StateColumn: return DryRun::stateText(row);
    }
    return {};
}

QVariant DryRunModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const headers[ColumnCount] = {
        QT_TR_NOOP("标签"), QT_TR_NOOP("MAC地址"), QT_TR_NOOP("当前地址"), QT_TR_NOOP("当前子网掩码"), QT_TR_NOOP("当前网关"),
        QT_TR_NOOP("计划地址"), QT_TR_NOOP("计划子网掩码"), QT_TR_NOOP("计划网关"), QT_TR_NOOP("状态"),
    };
    return section >= 0 && section < ColumnCount ? tr(headers[section]) : QVariant();
}
