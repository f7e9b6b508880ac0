#pragma once

#include "protocol/wire.h"
#include "simoptions.h"

// One simulated device: the record it was made with, the record it answers
// with now (changed by network settings), and how it answers.
class SimDevice
{
public:
    SimDevice(int index, const SimOptions &options);

    // The record device `index` leaves the factory with. Every byte the tool
    // must not interpret holds patternByte(offset, index), so a test can tell
    // whether the tool sends a device's record back byte for byte.
    static msg_broadcast_t factoryRecord(int index, const SimOptions &options);
    static quint8 patternByte(int offset, int index);
    static bool isOpaqueOffset(int offset);

    int index() const { return m_index; }
    const msg_broadcast_t &record() const { return m_record; }
    QString mac() const { return Wire::readText(m_record.mac); }
    QString ip() const { return Wire::readText(m_record.ip); }

    bool answersBroadcast() const { return m_broadcast; }
    bool silent() const { return m_silent; }
    void setSilent(bool silent) { m_silent = silent; }
    // A restarting device answers nothing until it is back.
    bool restarting() const { return m_restarting; }
    void setRestarting(bool restarting) { m_restarting = restarting; }
    bool answersSearch() const { return !m_silent && !m_restarting; }

    // dhcp is the request's flag: 1 hands the address over to DHCP.
    void setNetwork(const QString &ip, const QString &mask, const QString &gateway, const QString &dns, quint8 dhcp);
    void restoreFactory() { m_record = m_factory; }
    // 1: H.264, 0: H.265; a device keeps its encoding through a factory reset.
    quint8 h264() const { return m_record.h264; }
    void setH264(quint8 h264) { m_record.h264 = m_factory.h264 = h264; }
    QString version() const { return Wire::readText(m_record.version); }
    // A device keeps its firmware through a factory reset.
    void setVersion(const QString &version)
    {
        Wire::writeText(m_record.version, version);
        Wire::writeText(m_factory.version, version);
    }

private:
    int m_index;
    msg_broadcast_t m_factory;
    msg_broadcast_t m_record;
    bool m_broadcast;
    bool m_silent;
    bool m_restarting = false;
};
