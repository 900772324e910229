#pragma once

#include <QString>

// Where activation, download and apply failures go besides the event log: the
// service's problem report. The main window hands in its report sender.
class ProblemReporter
{
public:
    virtual ~ProblemReporter() = default;
    virtual void postBug(const QString &text) = 0;
};
