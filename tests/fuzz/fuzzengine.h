#pragma once

// What the engine fuzz targets share: a Qt application, the protocol engine
// and the registry, built once per process, with the debug lines kept quiet.
// The engine binds its sockets, so these targets run only inside the lab.
namespace FuzzEngine {
void init(int *argc, char ***argv);
}
