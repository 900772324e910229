#pragma once

// Turns SIGTERM and SIGINT (a session ending, a service manager stopping the program)
// into an orderly QCoreApplication::quit(), so the shutdown sequence still runs.
// Nothing to do on Windows, where the session end closes windows itself.
void quitOnTerminationSignals();

// True once such a signal arrived. A signal during start-up (a dialog's nested loop in the
// main window's constructor) ends that loop, but quit() before exec() is lost: main asks
// this before entering the event loop.
bool terminationRequested();
