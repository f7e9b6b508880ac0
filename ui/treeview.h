#pragma once

#include <QTreeView>

// The device table's view; reports left presses before it handles them, so
// that an open operation menu closes before the row is selected, and Enter on
// the current row.
class TreeView final : public QTreeView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TreeView)

public:
    explicit TreeView(QWidget *parent = nullptr);

signals:
    void clickMsg();
    void enterMsg(const QModelIndex &);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};
