#pragma once

#include <functional>

// Turns SIGTERM and SIGINT (a session ending, a service manager stopping the program)
// into an orderly QCoreApplication::quit(), so the shutdown sequence still runs.
// Nothing to do on Windows, where the session end closes windows itself.
void quitOnTerminationSignals();

// A second such signal (a logout or `timeout` signals the whole group twice) does not
// wait for the orderly shutdown: `lastWords` runs on the GUI thread, then the process
// ends at once with status 128 + the signal number. Without `lastWords` it just ends.
void setLastWordsOnSecondTermination(std::function<void()> lastWords);

// True once such a signal arrived. A signal during start-up (a dialog's nested loop in the
// main window's constructor) ends that loop, but quit() before exec() is lost: main asks
// this before entering the event loop.
bool terminationRequested();
