#pragma once

#include "protocol/datagramreader.h"

class QThread;

// The answer ports read on Linux: a batch of datagrams a system call, both
// ports taking turns, and the kernel asked how many datagrams each socket
// dropped, so that a burst larger than the receive buffer is known to have
// lost answers.
class LinuxDatagramReader final : public DatagramReader
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinuxDatagramReader)

public:
    LinuxDatagramReader(quint16 broadcastPort, quint16 privatePort, int bufferBytes);
    ~LinuxDatagramReader() override;

private:
    void run();
    // Reads one batch from the port into the queue; how many datagrams it read.
    int drain(int port, char *buffers);

    int m_descriptors[2] = {-1, -1};   // broadcast, private
    quint32 m_kernelDrops[2] = {0, 0}; // each socket's drop count when last asked; the thread's alone
    int m_wake = -1;                   // eventfd that ends the thread's wait
    QThread *m_thread = nullptr;
};
