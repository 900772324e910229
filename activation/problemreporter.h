#pragma once

#include <QString>

class ReportSender;

// Where activation, download and apply failures go besides the event log: the
// service's problem report.
class ProblemReporter
{
public:
    virtual ~ProblemReporter() = default;
    virtual void postBug(const QString &text) = 0;
};

// Problem reports through the service client's report sender, with no client name
// or version, as every activation failure sends them.
class ServiceProblemReporter : public ProblemReporter
{
public:
    explicit ServiceProblemReporter(ReportSender &sender) : m_sender(sender) {}
    void postBug(const QString &text) override;

private:
    ReportSender &m_sender;
};
