#pragma once

#include "firmware/FirmwareCatalogue.h"

#include <QString>

namespace q48 {

class TData;
class UserPrompts;

// The application values of lib/Ver.ini, section "App-config".
struct VersionInfo {
    QString appName = QString::fromLatin1(kDefaultAppName);
    QString appVer = QString::fromLatin1(kDefaultAppVer);
    QString appUrl = QString::fromLatin1(kDefaultAppUrl);
    QString compName = QString::fromLatin1(kDefaultCompName);
    int utype = kDefaultUtype;             // 0 or 1: selects the scene preset frame length
    int rebootDelay = kDefaultRebootDelay; // seconds after image 0, at least kMinRebootDelay

    // Window caption and application title.
    QString caption() const { return appName + QLatin1Char(' ') + appVer; }
};

// Reads <libDir>/Ver.ini into the version texts of `data` and into `info`; creates the file
// with the defaults (and the folder with it) when it is missing. A file that cannot be read or
// created leaves the defaults in place and is reported through `prompts` (when given) and the
// q48.files log. Returns false in that case.
bool loadVersionFile(const QString &libDir, TData &data, VersionInfo &info, UserPrompts *prompts);

// Writes the ten default values to `path`. False, with the reason, when it cannot.
bool writeDefaultVersionFile(const QString &path, QString *error = nullptr);

} // namespace q48
