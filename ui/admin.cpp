#include "admin.h"

#include <QListWidgetItem>
#include <QScrollBar>

#include "protocol/adminservice.h"
#include "ui/dialogchrome.h"
#include "ui_admin.h"

Admin::Admin(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Admin)
    , adminService(AdminService::instance())
{
    ui->setupUi(this);
    // Every line is one row of the same font: with uniform sizes a new line is
    // laid out without measuring again the thousands already shown, which a
    // crowd's answers would otherwise make a stall of the event loop.
    ui->listWidget->setUniformItemSizes(true);
    ui->listWidget->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical{width:8px;margin:0px;border:0px;background:transparent;}"
        "QScrollBar::handle:vertical{background:#a0a3a9;border-radius:4px;}"
        "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0px;border:0px;}"
        "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:none;}"));
    connect(ui->label_close, SIGNAL(clicked()), this, SLOT(close()));
    DialogChrome::closeOnEscape(this, SLOT(close()));
    connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
    connect(adminService, SIGNAL(debugMsg(QString,int)), this, SLOT(showDebug(QString,int)));
}

Admin::~Admin()
{
    delete ui;
}

void Admin::centerInParent()
{
    DialogChrome::centerInParent(this);
}

void Admin::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void Admin::close()
{
    emit closeMsg();
}

void Admin::showDebug(QString data, int type)
{
    QColor colour;
    switch (type) {
    case AdminService::Tcp:
        break;   // the list's own text colour
    case AdminService::Sent:
        colour = QColor(180, 0, 180);
        break;
    case AdminService::Received:
        colour = QColor(0, 180, 180);
        break;
    case AdminService::Error:
        colour = QColor(255, 0, 0);
        break;
    default:
        return;   // no such type: nothing to show
    }
    const int shown = ui->listWidget->count() - (droppedLines > 0 ? 1 : 0);
    if (shown >= MaxLines)
        dropOldestLines();
    auto *item = new QListWidgetItem(data);
    if (colour.isValid())
        item->setForeground(colour);
    ui->listWidget->addItem(item);
}

void Admin::dropOldestLines()
{
    QListWidget *list = ui->listWidget;
    if (droppedLines == 0)
        list->insertItem(0, new QListWidgetItem);
    list->model()->removeRows(1, DropChunk);
    droppedLines += DropChunk;
    list->item(0)->setText(tr("… %1 older lines dropped").arg(droppedLines));
}

void Admin::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
