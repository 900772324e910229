#include "platform/termination.h"

void quitOnTerminationSignals() {}

void setLastWordsOnSecondTermination(std::function<void()>) {}

bool terminationRequested()
{
    return false;
}
