#include "datagramreader.h"

#include <QSocketNotifier>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

// Datagrams one system call takes from a port; a port that filled a whole
// batch is read again after the other port has had its turn.
constexpr int BatchSize = 32;
// The largest UDP datagram fits: every datagram is read whole, whatever it claims.
constexpr int MaxDatagramBytes = 65536;

int openPort(quint16 port, int bufferBytes)
{
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return -1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address) < 0) {
        ::close(descriptor);
        return -1;
    }
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    return descriptor;
}

} // namespace

DatagramReader::DatagramReader(quint16 broadcastPort, quint16 privatePort, int bufferBytes, QObject *parent)
    : QObject(parent)
    , m_wake(::eventfd(0, EFD_CLOEXEC))
    , m_ready(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_descriptors[0] = openPort(broadcastPort, bufferBytes);
    m_descriptors[1] = openPort(privatePort, bufferBytes);
    // The thread wakes the GUI thread through a descriptor of its own: nothing
    // of Qt's is touched from the reader's thread.
    m_readyNotifier = new QSocketNotifier(m_ready, QSocketNotifier::Read, this);
    connect(m_readyNotifier, SIGNAL(activated(int)), this, SLOT(onDatagramsQueued()));
    m_thread = QThread::create([this] { run(); });
    m_thread->setObjectName(QStringLiteral("answer reader"));
    m_thread->start();
}

DatagramReader::~DatagramReader()
{
    const quint64 one = 1;
    if (::write(m_wake, &one, sizeof one) != sizeof one)
        m_thread->terminate();   // no way left to wake it
    m_thread->wait();
    delete m_thread;
    for (int descriptor : m_descriptors) {
        if (descriptor >= 0)
            ::close(descriptor);
    }
    ::close(m_wake);
    delete m_readyNotifier;
    ::close(m_ready);
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

void DatagramReader::onDatagramsQueued()
{
    quint64 raised = 0;
    if (::read(m_ready, &raised, sizeof raised) == sizeof raised)
        emit datagramsReadyMsg();
}

void DatagramReader::run()
{
    pollfd waits[3] = {{m_descriptors[0], POLLIN, 0}, {m_descriptors[1], POLLIN, 0}, {m_wake, POLLIN, 0}};
    std::vector<char> buffers(size_t(BatchSize) * MaxDatagramBytes);
    while (true) {
        if (::poll(waits, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (waits[2].revents)
            return;
        // While both ports hold datagrams they take turns, a batch each, so
        // that neither waits for the other's burst; each keeps its own order.
        bool more = true;
        while (more) {
            more = false;
            for (int port = 0; port < 2; ++port)
                more |= drain(m_descriptors[port], port == 0, buffers.data()) == BatchSize;
        }
    }
}

int DatagramReader::drain(int descriptor, bool isBroadCast, char *buffers)
{
    if (descriptor < 0)
        return 0;
    mmsghdr messages[BatchSize] {};
    iovec pieces[BatchSize];
    sockaddr_in senders[BatchSize];
    for (int i = 0; i < BatchSize; ++i) {
        pieces[i] = {buffers + size_t(i) * MaxDatagramBytes, MaxDatagramBytes};
        messages[i].msg_hdr.msg_iov = &pieces[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
    }
    const int count = ::recvmmsg(descriptor, messages, BatchSize, MSG_DONTWAIT, nullptr);
    if (count <= 0)
        return 0;
    QVector<Datagram> batch;
    batch.reserve(count);
    for (int i = 0; i < count; ++i) {
        batch.append({QByteArray(static_cast<const char *>(pieces[i].iov_base), int(messages[i].msg_len)),
                      QHostAddress(ntohl(senders[i].sin_addr.s_addr)), isBroadCast});
    }
    enqueue(batch);
    return count;
}

void DatagramReader::enqueue(QVector<Datagram> &batch)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_read += batch.size();
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
    if (wake) {
        const quint64 one = 1;
        if (::write(m_ready, &one, sizeof one) != sizeof one)
            qWarning("DatagramReader: cannot wake the GUI thread");
    }
}
