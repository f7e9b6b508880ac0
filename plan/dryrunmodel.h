#pragma once

#include <QAbstractTableModel>
#include <QList>

#include "plan/dryrun.h"

// The rows of a dry run as the table shows them: one row per plan line, its
// colour by state (red for what cannot be applied, grey for what is already
// so, green for a device that answers at its planned address).
class DryRunModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DryRunModel)

public:
    enum Column {
        LabelColumn, MacColumn, CurrentIpColumn, CurrentMaskColumn, CurrentGatewayColumn, PlannedIpColumn,
        PlannedMaskColumn, PlannedGatewayColumn, StateColumn, ColumnCount,
    };

    explicit DryRunModel(QObject *parent = nullptr);

    void setRows(const QList<DryRunRow> &rows);
    const QList<DryRunRow> &rows() const { return planRows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<DryRunRow> planRows;
};
