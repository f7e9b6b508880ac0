#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QVector>

#include <deque>
#include <mutex>

class QSocketNotifier;
class QThread;

// Takes what devices send to the two answer ports off the kernel on a thread
// of its own, as fast as it arrives, and keeps it in order until the engine
// takes it on the GUI thread. A busy window then costs memory for the waiting
// datagrams instead of answers lost when a socket's buffer runs over.
class DatagramReader final : public QObject
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

    // Datagrams waiting at most: a whole site's answers many times over; past
    // it, a flood is dropped rather than allowed to eat the memory.
    static constexpr int MaxQueued = 65536;

    // Binds 0.0.0.0 on both ports, each with a receive buffer of bufferBytes
    // (the kernel may grant less); a port that cannot be bound stays silent.
    DatagramReader(quint16 broadcastPort, quint16 privatePort, int bufferBytes, QObject *parent = nullptr);
    ~DatagramReader() override;

    // Up to max of the waiting datagrams, oldest first. dropped: how many the
    // full queue turned away since the last call.
    QVector<Datagram> take(int max, int *dropped);
    // Datagrams read off the ports so far, the ones a full queue dropped among them.
    int readCount() const;
    // Tests make the queue small enough to fill.
    void setQueueLimit(int limit);

signals:
    // The queue has turned from empty to holding datagrams; raised on the GUI
    // thread, and not again until take() has found the queue empty.
    void datagramsReadyMsg();

private slots:
    void onDatagramsQueued();

private:
    void run();
    // Reads one batch from the port into the queue; how many datagrams it read.
    int drain(int descriptor, bool isBroadCast, char *buffers);
    void enqueue(QVector<Datagram> &batch);

    int m_descriptors[2] = {-1, -1};   // broadcast, private
    int m_wake = -1;                   // eventfd that ends the thread's wait
    int m_ready = -1;                  // eventfd the thread raises for the GUI thread
    QSocketNotifier *m_readyNotifier = nullptr;
    QThread *m_thread = nullptr;

    mutable std::mutex m_mutex;        // guards what follows
    std::deque<Datagram> m_queue;
    int m_limit = MaxQueued;
    int m_dropped = 0;
    int m_read = 0;
    bool m_announced = false;
};
