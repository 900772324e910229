#include "updater/vantorelresources.h"

#include <QtGlobal>

void initVantorelResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(vantorel);
        return true;
    }();
    Q_UNUSED(registered);
}
