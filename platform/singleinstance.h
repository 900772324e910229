#pragma once

// True when this is the only running instance for the current user. The guard is held
// until the process ends. A guard that cannot be created for another reason than a
// running instance lets the program run.
bool isOnlyInstance();

#include <QString>

#include <functional>

class QObject;

// A later start reaches the running instance through a local socket beside the guard: with
// no tray to click, starting the program again is how a user gets a minimised window back.
QString instanceSocketName();
// In the instance holding the guard: runs onRaise in this thread each time a later start
// asks. The listener is a child of parent. False when the socket cannot be made.
bool listenForLaterStarts(QObject *parent, std::function<void()> onRaise);
// In a later start: asks the running instance to bring its window to the front. False when
// no instance answered within timeoutMs.
bool askRunningInstanceToRaise(int timeoutMs);
