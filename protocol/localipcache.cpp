#include "localipcache.h"

LocalIpCache::LocalIpCache(int validityMs)
    : m_validityMs(validityMs)
{
}

QList<LocalAddress> LocalIpCache::get()
{
    if (!m_age.isValid() || m_age.hasExpired(m_validityMs))
        return refresh();
    return m_candidates;
}

QList<LocalAddress> LocalIpCache::refresh()
{
    m_candidates = LocalIp::candidates(LocalIp::hostInterfaces());
    m_age.start();
    return m_candidates;
}
