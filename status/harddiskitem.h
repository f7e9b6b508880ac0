#pragma once

#include <QString>
#include <QWidget>

namespace Ui { class HardDiskItem; }

// One disk's tile in the disk column: "磁盘N", dark while it is the chosen
// disk, and a left click asks for that disk to be shown.
class HardDiskItem final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HardDiskItem)

public:
    explicit HardDiskItem(QWidget *parent = nullptr);
    ~HardDiskItem() override;

    int index() const { return m_index; }
    void setIndex(int index);
    bool isSelected() const { return selected; }
    void setSelected(bool select);

signals:
    void clickMsg(int);

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    void applyStyle();

    int m_index = 0;
    Ui::HardDiskItem *ui;
    const QString normalStyle;
    const QString selectedStyle;
    const QString normalLabelStyle;
    const QString selectedLabelStyle;
    bool selected = false;
};
