#include "morereset.h"

#include "protocol/connect.h"
#include "ui/dialogchrome.h"
#include "ui_morereset.h"

MoreReset::MoreReset(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::MoreReset)
    , connect(Connect::instance())
    , onConfirm([this] { connect->resetAll(); })
{
    ui->setupUi(this);
    QObject::connect(ui->label_2, SIGNAL(clicked()), this, SLOT(close()));
    DialogChrome::closeOnEscape(this, SLOT(close()));
    QObject::connect(ui->pushButton_refuse, SIGNAL(clicked()), this, SLOT(close()));
    QObject::connect(ui->pushButton_submit, SIGNAL(clicked()), this, SLOT(submit()));
    QObject::connect(ui->widget, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
}

MoreReset::~MoreReset()
{
    delete ui;
}

void MoreReset::centerInParent()
{
    DialogChrome::centerInParent(this);
}

void MoreReset::whenConfirmed(std::function<void()> confirmed)
{
    onConfirm = std::move(confirmed);
}

void MoreReset::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void MoreReset::close()
{
    emit closeMsg();
}

void MoreReset::submit()
{
    onConfirm();
    emit closeMsg();
}

void MoreReset::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
