#include "menu.h"

#include <QLatin1String>

#include "ui/menuitem.h"
#include "ui_menu.h"

namespace {

// Entry object name and the command it raises, in the order they are matched.
struct Command
{
    const char *entry;
    const char *word;
};

constexpr Command Commands[] = {
    {"widget_update", "update"},
    {"widget_config", "config"},
    {"widget_main", "main"},
    {"widget_sub", "sub"},
    {"widget_qrcode", "qrcode"},
    {"widget_reset", "reset"},
    {"widget_hardDisk", "hardDisk"},
    {"widget_hardware", "hardware"},
    {"widget_copyIp", "copyIp"},
    {"widget_copyMac", "copyMac"},
    {"widget_openWeb", "openWeb"},
};

} // namespace

Menu::Menu(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Menu)
{
    ui->setupUi(this);
    const QList<MenuItem *> entries = findChildren<MenuItem *>();
    for (MenuItem *entry : entries)
        connect(entry, SIGNAL(clicked(MenuItem*)), this, SLOT(clickMenu(MenuItem*)));
    ui->widget_qrcode->hide();
    ui->widget_hardDisk->hide();
    ui->widget_hardware->hide();
}

Menu::~Menu()
{
    delete ui;
}

void Menu::fitHeightToEntries()
{
    // Sized from the layout rather than from one entry's height times a count:
    // the shown entries of 28 pixels plus the panel's margins need more
    // than such a formula gave, and the lowest entry was cut off.
    setFixedHeight(minimumSizeHint().height());
}

void Menu::clickMenu(MenuItem *menuItem)
{
    if (menuItem) {
        const QString name = menuItem->objectName();
        for (const Command &command : Commands) {
            if (name == QLatin1String(command.entry)) {
                emit clickMenuMsg(QString::fromLatin1(command.word));
                break;
            }
        }
    }
    // Hidden only after the emit: the chosen dialog is already open by then.
    hide();
}
