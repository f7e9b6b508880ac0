#include "closequestion.h"

#include "ui/dialogchrome.h"
#include "ui_closequestion.h"

CloseQuestion::CloseQuestion(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CloseQuestion)
{
    ui->setupUi(this);
    connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
    connect(ui->label_close, SIGNAL(clicked()), this, SLOT(cancel()));
    DialogChrome::closeOnEscape(this, SLOT(cancel()));
    connect(ui->pushButton_save, SIGNAL(clicked()), this, SLOT(saveReport()));
    connect(ui->pushButton_discard, SIGNAL(clicked()), this, SLOT(closeWithoutReport()));
    connect(ui->pushButton_cancel, SIGNAL(clicked()), this, SLOT(cancel()));
    ui->pushButton_save->setFocus();
}

CloseQuestion::~CloseQuestion()
{
    delete ui;
}

void CloseQuestion::centerInParent()
{
    DialogChrome::centerInParent(this);
}

void CloseQuestion::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void CloseQuestion::saveReport()
{
    emit saveReportMsg();
    emit closeMsg();
}

void CloseQuestion::closeWithoutReport()
{
    emit closeWithoutReportMsg();
    emit closeMsg();
}

void CloseQuestion::cancel()
{
    emit cancelMsg();
    emit closeMsg();
}

void CloseQuestion::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
