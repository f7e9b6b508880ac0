#pragma once

#include <QtGlobal>

#include <utility>

#include "update/file.h"

// One device that connected back to the update server; it owns the package
// file it is being sent.
struct UpdateClient
{
    UpdateClient() = default;
    Q_DISABLE_COPY_MOVE(UpdateClient)
    ~UpdateClient() { delete file; }

    int descriptor = 0;
    File *file = nullptr;   // the package being sent; null until the device asks for it
    int device = -1;        // its place in the run's device list; -1 for a connection of no run device
    bool waiting = false;   // asked while the run's package was still being measured
    qint64 pacedFrom = 0;   // its first packet, on the run's clock: the others are due one per 5 ms from then

    // Of no run device any more, it takes nothing more.
    void detach()
    {
        device = -1;
        delete std::exchange(file, nullptr);
    }
};
