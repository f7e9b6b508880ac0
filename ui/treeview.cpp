#include "treeview.h"

#include <QMouseEvent>

TreeView::TreeView(QWidget *parent)
    : QTreeView(parent)
{
}

void TreeView::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clickMsg();
    QTreeView::mousePressEvent(e);
}
