#pragma once

#include <QList>
#include <QWidget>

#include "protocol/localip.h"

class Connect;

namespace Ui { class LocalAddressPicker; }

// The status strip's "Local IP address": the address the tool presents, or a
// compact drop-down of "address (interface)" when the laptop has several, or
// "No wired network" in red when it has none. The choice lives in the engine
// for the run of the tool.
class LocalAddressPicker final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LocalAddressPicker)

public:
    explicit LocalAddressPicker(QWidget *parent = nullptr);
    ~LocalAddressPicker() override;

public slots:
    // Walks the interfaces again and shows what the engine presents now.
    void refresh();

private slots:
    void choose(int index);

private:
    Ui::LocalAddressPicker *ui;
    Connect *engine;
    QList<LocalAddress> shown;
};
