#include "platform/termination.h"

void quitOnTerminationSignals() {}

bool terminationRequested()
{
    return false;
}
