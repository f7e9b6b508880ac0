#pragma once

#include <QPoint>
#include <QWidget>

#include <array>
#include <functional>

#include "plan/addressrange.h"

class QLabel;
class QLineEdit;

namespace Ui { class AddressRangeForm; }

// The range of "Prepare All Update", asked before anything is sent: first
// address, mask, gateway and DNS, each checked as it is typed, with the
// addresses the numbering skips and how many devices get none. It sends
// nothing itself: it says which range the installer confirmed.
class AddressRangeForm final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddressRangeForm)

public:
    // The plan for a range, computed by the caller over its devices.
    using Planner = std::function<AddressPlan(const AddressRange &)>;

    explicit AddressRangeForm(QWidget *parent = nullptr);
    ~AddressRangeForm() override;

    // Fills the fields with range and shows its plan.
    void setUp(const AddressRange &range, Planner planner);
    void centerInParent();

signals:
    void closeMsg();
    // The plan for the fields as they stand, on every change; an empty plan
    // while a field is invalid.
    void planMsg(const AddressPlan &plan);
    void confirmMsg(const AddressRange &range);

public slots:
    void moveWindow(QPoint movePoint);
    void close();
    void submit();

private slots:
    void recompute();

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    std::array<QLineEdit *, AddressRange::FieldCount> fields() const;
    std::array<QLabel *, AddressRange::FieldCount> warnings() const;

    Ui::AddressRangeForm *ui;
    Planner planner;
    std::optional<AddressRange> range;   // none while a field is invalid
};
