#include "fuzzengine.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#include "protocol/connect.h"
#include "registry/devs.h"

void FuzzEngine::init(int *argc, char ***argv)
{
    if (qEnvironmentVariableIsEmpty("LAB_TOOL_NS")) {
        std::fprintf(stderr, "this fuzz target opens the protocol engine: run it inside the lab (make fuzz)\n");
        std::exit(2);
    }
    // FUZZ_VERBOSE=1 keeps the debug lines, to follow what a replayed input does.
    if (qEnvironmentVariableIsEmpty("FUZZ_VERBOSE"))
        qputenv("QT_LOGGING_RULES", "*.debug=false");
    new QCoreApplication(*argc, *argv);   // lives as long as the process
    Connect::instance();
    Devs::instance();
}
