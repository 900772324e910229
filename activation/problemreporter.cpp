#include "activation/problemreporter.h"

#include "service/reportsender.h"

void ServiceProblemReporter::postBug(const QString &text)
{
    m_sender.postBug(text);
}
