#include "termination.h"

void quitOnTerminationSignals() {}

bool terminationRequested()
{
    return false;
}
