#include "linuxdatagramreader.h"

#include <QThread>

#include <arpa/inet.h>
#include <linux/sock_diag.h>
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

// The socket's running count of the datagrams the kernel dropped for want of room.
bool dropCount(int descriptor, quint32 *count)
{
    quint32 memory[SK_MEMINFO_VARS] = {};
    socklen_t size = sizeof memory;
    if (::getsockopt(descriptor, SOL_SOCKET, SO_MEMINFO, memory, &size) < 0
        || size <= socklen_t(SK_MEMINFO_DROPS * sizeof(quint32)))
        return false;
    *count = memory[SK_MEMINFO_DROPS];
    return true;
}

} // namespace

LinuxDatagramReader::LinuxDatagramReader(quint16 broadcastPort, quint16 privatePort, int bufferBytes)
    : m_wake(::eventfd(0, EFD_CLOEXEC))
{
    m_descriptors[0] = openPort(broadcastPort, bufferBytes);
    m_descriptors[1] = openPort(privatePort, bufferBytes);
    m_thread = QThread::create([this] { run(); });
    m_thread->setObjectName(QStringLiteral("answer reader"));
    m_thread->start();
}

LinuxDatagramReader::~LinuxDatagramReader()
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
}

void LinuxDatagramReader::run()
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
                more |= drain(port, buffers.data()) == BatchSize;
        }
    }
}

int LinuxDatagramReader::drain(int port, char *buffers)
{
    if (m_descriptors[port] < 0)
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
    const int count = ::recvmmsg(m_descriptors[port], messages, BatchSize, MSG_DONTWAIT, nullptr);
    if (count <= 0)
        return 0;
    QVector<Datagram> batch;
    batch.reserve(count);
    for (int i = 0; i < count; ++i) {
        batch.append({QByteArray(static_cast<const char *>(pieces[i].iov_base), int(messages[i].msg_len)),
                      QHostAddress(ntohl(senders[i].sin_addr.s_addr)), port == 0});
    }
    // Asked once the port has run dry: the kernel drops only while datagrams
    // wait, so this sees every drop, even those at the very end of a burst
    // that no later datagram would tell of.
    int lost = 0;
    quint32 drops = 0;
    if (count < BatchSize && dropCount(m_descriptors[port], &drops)) {
        lost = int(drops - m_kernelDrops[port]);   // a count that wrapped around still subtracts right
        m_kernelDrops[port] = drops;
    }
    enqueue(batch, lost);
    return count;
}
