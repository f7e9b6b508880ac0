#pragma once

#include <QPoint>
#include <QWidget>

namespace Ui { class CloseQuestion; }

// Asked once when the tool is closed after it changed devices and no site
// report was saved since: save one first, close without, or stay. Each choice
// raises its own signal, then closeMsg().
class CloseQuestion final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CloseQuestion)

public:
    explicit CloseQuestion(QWidget *parent = nullptr);
    ~CloseQuestion() override;

    void centerInParent();

signals:
    void saveReportMsg();
    void closeWithoutReportMsg();
    void cancelMsg();
    void closeMsg();

public slots:
    void moveWindow(QPoint movePoint);
    void saveReport();
    void closeWithoutReport();
    // The close label and Escape stay in the tool, as "Cancel" does.
    void cancel();

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    Ui::CloseQuestion *ui;
};
