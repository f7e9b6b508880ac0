#include "treeview.h"

#include <QKeyEvent>
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

void TreeView::keyPressEvent(QKeyEvent *e)
{
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && currentIndex().isValid())
        emit enterMsg(currentIndex());
    else
        QTreeView::keyPressEvent(e);
}
