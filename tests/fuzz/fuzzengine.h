#pragma once

class Connect;
class Devs;

// What the engine fuzz targets share: a Qt application, the protocol engine
// and the registry, built once per process, with the debug lines kept quiet.
// The engine binds its sockets, so these targets run only inside the lab.
class FuzzEngine
{
public:
    static void init(int *argc, char ***argv);
    static Connect *engine();
    static Devs *devs();
};
