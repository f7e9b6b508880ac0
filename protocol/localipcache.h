#pragma once

#include <QElapsedTimer>
#include <QHostAddress>

// The local address for the own-datagram drop, walked afresh at most once per
// validity period. A search answered by thousands of devices arrives within
// milliseconds; walking every interface for each answer would cost more than
// the answer itself, while the address changes only when the machine's
// network settings do, and then reaches the drop within one period.
class LocalIpCache
{
public:
    static constexpr int DefaultValidityMs = 100;

    explicit LocalIpCache(int validityMs = DefaultValidityMs);

    // The address of the last walk while it is younger than the validity period.
    QHostAddress get();
    // Walks now and keeps the result.
    QHostAddress refresh();

private:
    int m_validityMs;
    QHostAddress m_address;
    QElapsedTimer m_age;   // invalid until the first walk
};
