#pragma once

#include <QObject>
#include <QString>

// The protocol log: every component hands it one finished line and a type;
// it writes the line to the debug output and raises it for the debug window.
class AdminService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdminService)

public:
    enum Type { Tcp = 0, Sent = 1, Received = 2, Error = 3 };

    explicit AdminService(QObject *parent = nullptr);
    static AdminService *instance();

    void debug(const QString &text, int type);

signals:
    void debugMsg(QString, int);

private:
    static AdminService *s_instance;
};
