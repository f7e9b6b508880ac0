#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QVector>

#include <functional>

class QWidget;

// Notes, for each paint of a widget, what a probe (the list's row count) read
// then, so that the bench can tell when the last row reached the screen and
// not just the model.
class PaintClock final : public QObject
{
    Q_OBJECT

public:
    PaintClock(QWidget *watched, const QElapsedTimer *clock, std::function<int()> probe, QObject *parent = nullptr);

    // Nanoseconds on the clock of the first paint at which the probe read at
    // least value; -1 when no paint has yet.
    qint64 nsWhenReached(int value) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Paint
    {
        qint64 ns;
        int value;
    };

    const QElapsedTimer *m_clock;
    std::function<int()> m_probe;
    QVector<Paint> m_paints;   // only those where the probe moved
};
