#include "coreresources.h"

#include <QtGlobal>

static void registerCoreResources()
{
    Q_INIT_RESOURCE(core);
}

void initCoreResources()
{
    static const bool registered = (registerCoreResources(), true);
    Q_UNUSED(registered)
}
