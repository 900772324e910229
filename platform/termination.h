#pragma once

// Turns SIGTERM and SIGINT (a session ending, a service manager stopping the program)
// into an orderly QCoreApplication::quit(), so the shutdown sequence still runs.
// Nothing to do on Windows, where the session end closes windows itself.
void quitOnTerminationSignals();
