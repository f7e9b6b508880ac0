#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// Reads control commands from standard input, one per line. The end of input
// only stops reading: tests often start devsim with stdin closed or on /dev/null.
class StdinControl : public QObject
{
    Q_OBJECT

public:
    explicit StdinControl(QObject *parent = nullptr);

signals:
    void lineReceived(const QString &line);

private:
    void readAvailable();
    void emitLines();

    QSocketNotifier *m_notifier;
    QByteArray m_pending;
};
