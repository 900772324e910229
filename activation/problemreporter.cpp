#include "problemreporter.h"

#include "reportsender.h"

void ServiceProblemReporter::postBug(const QString &text)
{
    m_sender.postBug(text);
}
