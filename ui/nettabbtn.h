#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// A tab header of the network dialog: a title and a status text, dark while selected.
class NetTabBtn final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetTabBtn)

public:
    explicit NetTabBtn(QWidget *parent = nullptr);

    void setSelected(bool selected);
    bool selected() const { return isSelected; }
    void setStatus(bool active);

signals:
    void clickMsg(NetTabBtn *);

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    QList<QLabel *> labels() const;

    const QString unselectedBackground = QStringLiteral(
        "background-color:qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 #b9c7d1,stop:0.5 #b9c7d1 ,stop:1 #dee2e6);");
    const QString unselectedText = QStringLiteral("color:#6c6c6c;");
    const QString selectedBackground = QStringLiteral(
        "background-color:qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 #808080,stop:0.5 #606060 ,stop:1 #313131);");
    const QString selectedText = QStringLiteral("color:#e2e2e2;");
    bool isSelected = false;
};
