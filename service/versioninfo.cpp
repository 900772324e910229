#include "service/versioninfo.h"

LatestVersionInfo &latestVersionInfo()
{
    static LatestVersionInfo info;
    return info;
}
