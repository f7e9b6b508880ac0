#include "addressrangeform.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "ui/dialogchrome.h"
#include "ui_addressrangeform.h"

AddressRangeForm::AddressRangeForm(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::AddressRangeForm)
{
    ui->setupUi(this);
    QObject::connect(ui->label_close, SIGNAL(clicked()), this, SLOT(close()));
    DialogChrome::closeOnEscape(this, SLOT(close()));
    QObject::connect(ui->pushButton_cancel, SIGNAL(clicked()), this, SLOT(close()));
    QObject::connect(ui->pushButton_submit, SIGNAL(clicked()), this, SLOT(submit()));
    QObject::connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
    for (QLineEdit *field : fields())
        QObject::connect(field, SIGNAL(textChanged(QString)), this, SLOT(recompute()));
    // A hidden warning keeps its room, so the fields do not jump when one shows.
    for (QLabel *warning : warnings()) {
        QSizePolicy policy = warning->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        warning->setSizePolicy(policy);
    }
}

AddressRangeForm::~AddressRangeForm()
{
    delete ui;
}

std::array<QLineEdit *, AddressRange::FieldCount> AddressRangeForm::fields() const
{
    return {ui->lineEdit_first, ui->lineEdit_mask, ui->lineEdit_gateway, ui->lineEdit_dns};
}

std::array<QLabel *, AddressRange::FieldCount> AddressRangeForm::warnings() const
{
    return {ui->label_worFirst, ui->label_worMask, ui->label_worGateway, ui->label_worDns};
}

void AddressRangeForm::setUp(const AddressRange &defaults, Planner computePlan)
{
    planner = std::move(computePlan);
    const AddressRange::Texts texts = defaults.texts();
    for (int field = 0; field < AddressRange::FieldCount; ++field) {
        const QSignalBlocker quiet(fields()[field]);
        fields()[field]->setText(texts[field]);
    }
    recompute();
}

void AddressRangeForm::recompute()
{
    AddressRange::Texts texts;
    for (int field = 0; field < AddressRange::FieldCount; ++field)
        texts[field] = fields()[field]->text().trimmed();
    AddressRange::Texts reasons;
    range = AddressRange::fromTexts(texts, reasons);
    for (int field = 0; field < AddressRange::FieldCount; ++field) {
        warnings()[field]->setText(QLatin1Char('*') + reasons[field]);
        warnings()[field]->setVisible(!reasons[field].isEmpty());
    }
    const AddressPlan plan = range && planner ? planner(*range) : AddressPlan();
    ui->listWidget_skipped->clear();
    for (const SkippedAddress &skipped : plan.skipped)
        ui->listWidget_skipped->addItem(tr("%1：%2").arg(skipped.ip, skipped.reason));
    const int unassigned = plan.unassigned();
    ui->label_unassigned->setText(tr("%n台设备将得不到地址", nullptr, unassigned));
    ui->label_unassigned->setVisible(unassigned > 0);
    ui->pushButton_submit->setEnabled(range.has_value());
    emit planMsg(plan);
}

void AddressRangeForm::centerInParent()
{
    DialogChrome::centerInParent(this);
}

void AddressRangeForm::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void AddressRangeForm::close()
{
    emit closeMsg();
}

void AddressRangeForm::submit()
{
    if (!range)
        return;
    emit confirmMsg(*range);
    emit closeMsg();
}

void AddressRangeForm::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}
