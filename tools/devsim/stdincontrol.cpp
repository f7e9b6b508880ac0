#include "stdincontrol.h"

#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

StdinControl::StdinControl(QObject *parent)
    : QObject(parent)
    , m_notifier(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &StdinControl::readAvailable);
}

void StdinControl::readAvailable()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        // End of input (or a broken descriptor): stop watching, keep running.
        m_notifier->setEnabled(false);
        if (!m_pending.isEmpty())
            m_pending.append('\n');
        emitLines();
        return;
    }
    m_pending.append(buffer, int(n));
    emitLines();
}

void StdinControl::emitLines()
{
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(end)).trimmed();
        m_pending.remove(0, end + 1);
        if (!line.isEmpty())
            emit lineReceived(line);
    }
}
