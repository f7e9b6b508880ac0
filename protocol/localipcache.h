#pragma once

#include <QElapsedTimer>
#include <QList>

#include "protocol/localip.h"

// The addresses the tool may present, walked afresh at most once per validity
// period. A search answered by thousands of devices arrives within
// milliseconds; walking every interface for each answer would cost more than
// the answer itself, while the addresses change only when the machine's
// network settings do, and then reach the own-datagram drop within one period.
class LocalIpCache
{
public:
    static constexpr int DefaultValidityMs = 100;

    explicit LocalIpCache(int validityMs = DefaultValidityMs);

    // The candidates of the last walk while it is younger than the validity period.
    QList<LocalAddress> get();
    // Walks now and keeps the result.
    QList<LocalAddress> refresh();

private:
    int m_validityMs;
    QList<LocalAddress> m_candidates;
    QElapsedTimer m_age;   // invalid until the first walk
};
