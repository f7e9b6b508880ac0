#include "fuzzengine.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include "protocol/connect.h"
#include "registry/devs.h"
#include "support/runrig.h"
#include "update/updaterun.h"

void FuzzEngine::initApplication(int *argc, char ***argv)
{
    // FUZZ_VERBOSE=1 keeps the debug lines, to follow what a replayed input does.
    if (qEnvironmentVariableIsEmpty("FUZZ_VERBOSE"))
        qputenv("QT_LOGGING_RULES", "*.debug=false");
    new QCoreApplication(*argc, *argv);   // lives as long as the process
}

void FuzzEngine::init(int *argc, char ***argv)
{
    if (qEnvironmentVariableIsEmpty("LAB_TOOL_NS")) {
        std::fprintf(stderr, "this fuzz target opens the protocol engine: run it inside the lab (make fuzz)\n");
        std::exit(2);
    }
    initApplication(argc, argv);
    Connect::instance();
    Devs::instance();
    UpdateRun::instance();   // the engine tells it of update-begin answers
}

QString FuzzEngine::packagePath()
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("package.bin"));
    static const QByteArray bytes = writePackage(path, 2 * 8192 + 100);   // three packets
    return path;
}
