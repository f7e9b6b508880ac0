#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QVector>

#include <deque>
#include <mutex>

// Takes what devices send to the two answer ports off the system on a thread
// of its own, as fast as it arrives, and keeps it in order until the engine
// takes it on the GUI thread. A busy window then costs memory for the waiting
// datagrams instead of answers lost when a socket's buffer runs over.
// The queue, its bound and the wake-up of the GUI thread live here; a reader
// of each path only reads the ports into them.
class DatagramReader : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DatagramReader)

public:
    struct Datagram
    {
        QByteArray bytes;
        QHostAddress sender;
        bool isBroadCast = false;   // came in on the broadcast answer port
    };

    // LinuxPath takes up to a batch of datagrams a system call and learns how
    // many the kernel dropped; PortablePath reads through Qt's sockets on any
    // system and learns only of what the full queue drops.
    enum Path { LinuxPath, PortablePath };
    // LinuxPath on Linux, unless the build asks for the portable one.
    static const Path DefaultPath;

    // Datagrams waiting at most: a whole site's answers many times over; past
    // it, a flood is dropped rather than allowed to eat the memory.
    static constexpr int MaxQueued = 65536;

    // Binds 0.0.0.0 on both ports, each with a receive buffer of bufferBytes
    // (the system may grant less); a port that cannot be bound stays silent.
    // Where there is no LinuxPath, the portable path reads instead.
    static DatagramReader *open(Path path, quint16 broadcastPort, quint16 privatePort, int bufferBytes);

    // Up to max of the waiting datagrams, oldest first. dropped: how many the
    // system or the full queue lost since the last call.
    QVector<Datagram> take(int max, int *dropped);
    // Datagrams read off the ports so far, the ones a full queue dropped among them.
    int readCount() const;
    // Tests make the queue small enough to fill.
    void setQueueLimit(int limit);

signals:
    // The queue has turned from empty to holding datagrams; raised on the GUI
    // thread, and not again until take() has found the queue empty.
    void datagramsReadyMsg();

protected:
    DatagramReader() = default;
    // On the reader's thread: the datagrams read, oldest first, and how many
    // the system dropped since the previous batch.
    void enqueue(QVector<Datagram> &batch, int lost);

private:
    mutable std::mutex m_mutex;        // guards what follows
    std::deque<Datagram> m_queue;
    int m_limit = MaxQueued;
    int m_dropped = 0;
    int m_read = 0;
    bool m_announced = false;
};
