#pragma once

#include <QString>

// What the latest-version reply (tag 121) said, kept for the whole run. GUI thread only.
struct LatestVersionInfo
{
    QString version;        // latest version text
    QString download;       // full installer address
    QString updateDownload; // update package address
};

LatestVersionInfo &latestVersionInfo();
