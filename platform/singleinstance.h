#pragma once

// True when this is the only running instance for the current user. The guard is held
// until the process ends. A guard that cannot be created for another reason than a
// running instance lets the program run.
bool isOnlyInstance();
