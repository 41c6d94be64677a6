#include "uiresources.h"

#include <QtGlobal>

void initUiResources()
{
    Q_INIT_RESOURCE(ui);
}
