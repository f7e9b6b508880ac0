#pragma once

#include <QObject>

class Connect;
class QTimer;

// One pending request timeout: after its single-shot timer fires it either
// re-sends the request through the callback or, with no retries left, reports.
class TimeoutItem final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TimeoutItem)

public:
    using Callback = void (Connect::*)();

    explicit TimeoutItem(int cmd, int count, Callback callback, QObject *parent = nullptr);
    ~TimeoutItem() override;

    void start(int ms);

    int cmd = -1;
    int count = 0;
    Callback callback = nullptr;

signals:
    void timeoutMsg(TimeoutItem *);

public slots:
    void updateTimeOut();

private:
    QTimer *timer;
};
