#include "datagramreader.h"

#include "protocol/portabledatagramreader.h"
#ifdef Q_OS_LINUX
#include "protocol/linuxdatagramreader.h"
#endif

#if defined(Q_OS_LINUX) && !defined(SEARCHER_PORTABLE_READER)
const DatagramReader::Path DatagramReader::DefaultPath = LinuxPath;
#else
const DatagramReader::Path DatagramReader::DefaultPath = PortablePath;
#endif

DatagramReader *DatagramReader::open(Path path, quint16 broadcastPort, quint16 privatePort, int bufferBytes)
{
#ifdef Q_OS_LINUX
    if (path == LinuxPath)
        return new LinuxDatagramReader(broadcastPort, privatePort, bufferBytes);
#else
    Q_UNUSED(path)
#endif
    return new PortableDatagramReader(broadcastPort, privatePort, bufferBytes);
}

QVector<DatagramReader::Datagram> DatagramReader::take(int max, int *dropped)
{
    QVector<Datagram> taken;
    const std::lock_guard<std::mutex> lock(m_mutex);
    const int count = qMin(max, int(m_queue.size()));
    taken.reserve(count);
    for (int i = 0; i < count; ++i) {
        taken.append(std::move(m_queue.front()));
        m_queue.pop_front();
    }
    *dropped = m_dropped;
    m_dropped = 0;
    if (m_queue.empty())
        m_announced = false;
    return taken;
}

int DatagramReader::readCount() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_read;
}

void DatagramReader::setQueueLimit(int limit)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_limit = limit;
}

void DatagramReader::enqueue(QVector<Datagram> &batch, int lost)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_read += batch.size();
        m_dropped += lost;
        for (Datagram &datagram : batch) {
            if (int(m_queue.size()) >= m_limit)
                ++m_dropped;
            else
                m_queue.push_back(std::move(datagram));
        }
        wake = !m_announced && !m_queue.empty();
        if (wake)
            m_announced = true;
    }
    // Posted to the GUI thread, where this object lives: the signal is raised there.
    if (wake)
        QMetaObject::invokeMethod(this, &DatagramReader::datagramsReadyMsg, Qt::QueuedConnection);
}
