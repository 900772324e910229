#include "termination.h"

void quitOnTerminationSignals() {}
