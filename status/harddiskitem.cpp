#include "harddiskitem.h"

#include <QMouseEvent>

#include "ui/dialogchrome.h"
#include "ui_harddiskitem.h"

HardDiskItem::HardDiskItem(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::HardDiskItem)
    , normalStyle(QStringLiteral("background-color:qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 #b9c7d1,stop:0.5 #b9c7d1 ,stop:1 #dee2e6);"))
    , selectedStyle(QStringLiteral("background-color:qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 #808080,stop:0.5 #606060 ,stop:1 #313131);"))
    , normalLabelStyle(QStringLiteral("color:#6c6c6c;"))
    , selectedLabelStyle(QStringLiteral("color:#e2e2e2;"))
{
    ui->setupUi(this);
    // The form's own sheet is already cached for this widget; an unpolished widget
    // would keep drawing from that cache after its sheet is replaced.
    ensurePolished();
    applyStyle();
}

HardDiskItem::~HardDiskItem()
{
    delete ui;
}

void HardDiskItem::setIndex(int index)
{
    m_index = index;
    ui->label->setText(tr("磁盘") + QString::number(index + 1));
}

void HardDiskItem::setSelected(bool select)
{
    if (select == selected)
        return;
    selected = select;
    applyStyle();
}

void HardDiskItem::applyStyle()
{
    setStyleSheet(selected ? selectedStyle : normalStyle);
    ui->label->setStyleSheet(selected ? selectedLabelStyle : normalLabelStyle);
}

void HardDiskItem::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clickMsg(m_index);
}

void HardDiskItem::paintEvent(QPaintEvent *e)
{
    Q_UNUSED(e)
    DialogChrome::paintStyleSheet(this);
}
