#pragma once

#include <QLabel>
#include <QString>

// The eye beside a password field: each click toggles between showing and hiding it.
class PswBtn final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PswBtn)

public:
    explicit PswBtn(QWidget *parent = nullptr);

    void setShow(bool show);
    bool shown() const { return isShow; }

signals:
    void clickMsg(bool);

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    const QString shownStyle = QStringLiteral("border:0;image:url(:/btn/images/btn_psw_visible.png)");
    const QString hiddenStyle = QStringLiteral("border:0;image:url(:/btn/images/btn_psw_invisible.png);");
    bool isShow = false;
};
