#pragma once

#include <QString>

// The program's own version record: what the about box shows. The numbers
// come from the build's project version (major.minor.revision), the one that
// --version prints.
struct VersionRecord
{
    QString fileDescription;
    QString productName;
    int major = 0;
    int minor = 0;
    int revision = 0;
    QString copyright;
    QString trademark;
};

// The record of this build.
VersionRecord ProgramVersion();

// "Version <major>.<minor>.<revision>", numbers without padding.
QString VersionText(const VersionRecord& version);
