#include "sorvane/office.h"

namespace sorvane {

bool officeAppForWindow(std::string_view, std::string_view, OfficeApp *)
{
    return false;
}

bool officeHasOpenDocument(OfficeApp)
{
    return false;
}

int applyToOffice(OfficeApp, const std::string &, const std::string &)
{
    return 2;
}

} // namespace sorvane
