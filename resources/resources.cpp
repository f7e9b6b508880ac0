#include "resources.h"

#include <QtGlobal>

void initResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(searcher_images);
        Q_INIT_RESOURCE(language);
        return true;
    }();
    Q_UNUSED(registered);
}
