#pragma once

#include <QString>
#include <QWidget>

class MenuItem;

namespace Ui { class Menu; }

// The operation menu the main window shows beside the device list on a right
// click: a column of entries, each raising a fixed command word.
class Menu final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Menu)

public:
    explicit Menu(QWidget *parent = nullptr);
    ~Menu() override;

    // Fixes the height to what the shown entries need; the holder calls it
    // once after creating the menu.
    void fitHeightToEntries();

signals:
    void clickMenuMsg(QString);

public slots:
    void clickMenu(MenuItem *menuItem);

private:
    Ui::Menu *ui;
};
