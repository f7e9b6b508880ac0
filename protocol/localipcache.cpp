#include "localipcache.h"

#include "protocol/localip.h"

LocalIpCache::LocalIpCache(int validityMs)
    : m_validityMs(validityMs)
{
}

QHostAddress LocalIpCache::get()
{
    if (!m_age.isValid() || m_age.hasExpired(m_validityMs))
        return refresh();
    return m_address;
}

QHostAddress LocalIpCache::refresh()
{
    m_address = LocalIp::choose(LocalIp::hostInterfaces());
    m_age.start();
    return m_address;
}
