#include "resources/quilloraresources.h"

#include <QtGlobal>

void initQuilloraResources()
{
    // Registering twice would list every file twice; tests build many windows.
    static const bool registered = [] {
        Q_INIT_RESOURCE(quillora);
        return true;
    }();
    Q_UNUSED(registered);
}
