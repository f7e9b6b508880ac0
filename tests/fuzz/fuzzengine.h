#pragma once

#include <QString>

// What the fuzz targets share: a Qt application with its debug lines kept
// quiet, and for those that open the protocol engine, the engine, the
// registry and the update run, built once per process. The engine binds its
// sockets, so those targets run only inside the lab.
namespace FuzzEngine {
void initApplication(int *argc, char ***argv);
void init(int *argc, char ***argv);
// A package of three packets that the update targets' runs serve.
QString packagePath();
}
