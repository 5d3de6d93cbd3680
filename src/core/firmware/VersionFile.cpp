#include "VersionFile.h"

#include "UserPrompts.h"
#include "firmware/IniFile.h"
#include "link/DebugLog.h"
#include "presets/FileAccess.h"
#include "presets/TData.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace q48 {

namespace {
const QString kVerSection = QStringLiteral("ver");
const QString kAppSection = QStringLiteral("App-config");

QString *versionText(TData &data, int image)
{
    QString *texts[kImageCount] = {&data.mcuVer, &data.keyVer, &data.dsp1Ver, &data.dsp2Ver};
    return texts[image];
}

void useDefaults(TData &data, VersionInfo &info)
{
    info = VersionInfo{};
    for (int i = 0; i < kImageCount; ++i)
        *versionText(data, i) = QString::fromLatin1(defaultVersionTexts[i]);
}

bool report(UserPrompts *prompts, const QString &error)
{
    const QString text = error + QStringLiteral(" The default settings are used.");
    qCWarning(lcFiles).noquote() << text;
    if (prompts)
        prompts->message(text, QString::fromLatin1(kVersionFileName));
    return false;
}
} // namespace

bool writeDefaultVersionFile(const QString &path, QString *error)
{
    IniFile ini;
    for (int i = 0; i < kImageCount; ++i)
        ini.setValue(kVerSection, QString::fromLatin1(versionKeys[i]),
                     QString::fromLatin1(defaultVersionTexts[i]));
    ini.setValue(kAppSection, QStringLiteral("Ver"), QString::fromLatin1(kDefaultAppVer));
    ini.setValue(kAppSection, QStringLiteral("Name"), QString::fromLatin1(kDefaultAppName));
    ini.setValue(kAppSection, QStringLiteral("Url"), QString::fromLatin1(kDefaultAppUrl));
    ini.setValue(kAppSection, QStringLiteral("CompName"), QString::fromLatin1(kDefaultCompName));
    ini.setIntValue(kAppSection, QStringLiteral("Utype"), kDefaultUtype);
    ini.setIntValue(kAppSection, QStringLiteral("Delay"), kDefaultRebootDelay);
    return ini.save(path, error);
}

bool loadVersionFile(const QString &libDir, TData &data, VersionInfo &info, UserPrompts *prompts)
{
    const QString path = QDir(libDir).filePath(QString::fromLatin1(kVersionFileName));
    QString error;

    // The run that creates the file shows the default version texts at once rather than
    // empty labels until the next start.
    if (!QFileInfo::exists(path)) {
        useDefaults(data, info);
        if (!QDir().mkpath(libDir))
            return report(
                prompts,
                QStringLiteral("Could not create the folder \"%1\".").arg(FileAccess::displayPath(libDir)));
        if (!writeDefaultVersionFile(path, &error))
            return report(prompts, error);
        return true;
    }

    IniFile ini;
    if (!ini.load(path, &error)) {
        useDefaults(data, info);
        return report(prompts, error);
    }
    for (int i = 0; i < kImageCount; ++i)
        *versionText(data, i) = ini.value(kVerSection, QString::fromLatin1(versionKeys[i]),
                                          QString::fromLatin1(defaultVersionTexts[i]));
    info.appName = ini.value(kAppSection, QStringLiteral("Name"), QString::fromLatin1(kDefaultAppName));
    info.appVer = ini.value(kAppSection, QStringLiteral("Ver"), QString::fromLatin1(kDefaultAppVer));
    info.compName = ini.value(kAppSection, QStringLiteral("CompName"), QString::fromLatin1(kDefaultCompName));
    info.appUrl = ini.value(kAppSection, QStringLiteral("Url"), QString::fromLatin1(kDefaultAppUrl));
    // Only the low byte counts, and any non-zero byte selects the long scene frame.
    info.utype = (ini.intValue(kAppSection, QStringLiteral("Utype"), kDefaultUtype) & 0xFF) != 0 ? 1 : 0;
    info.rebootDelay =
        std::max(ini.intValue(kAppSection, QStringLiteral("Delay"), kDefaultRebootDelay), kMinRebootDelay);
    return true;
}

} // namespace q48
