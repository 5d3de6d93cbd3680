#include "StartOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace q48 {

std::optional<StartOptions> parseStartOptions(const QStringList &arguments, QString *error, QString *helpText)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Q48 mixer service tool: firmware update and presets."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption engineering(QStringLiteral("engineering"),
                                         QStringLiteral("Show the DSP read-back and C-array export page."));
    parser.addOption(engineering);
    const QCommandLineOption lib(
        QStringLiteral("lib"),
        QStringLiteral("Folder of Ver.ini and the firmware images (default: lib beside "
                       "the program)."),
        QStringLiteral("dir"));
    parser.addOption(lib);
    const QCommandLineOption outputDir(
        QStringLiteral("output-dir"),
        QStringLiteral("Folder for DSP read-backs and C-array files (default: beside the program)."),
        QStringLiteral("dir"));
    parser.addOption(outputDir);
    addEndpointOptions(parser);

    QString problem;
    if (!parser.parse(arguments)) {
        problem = parser.errorText();
    } else if (parser.isSet(help) || parser.isSet(version)) {
        if (helpText)
            *helpText = parser.isSet(help) ? parser.helpText()
                                           : QCoreApplication::applicationName() + QLatin1Char(' ') +
                                                 QCoreApplication::applicationVersion();
        return std::nullopt;
    } else if (!parser.positionalArguments().isEmpty()) {
        problem = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().constFirst());
    }

    StartOptions options;
    if (problem.isEmpty()) {
        options.engineering = parser.isSet(engineering);
        options.libDir = parser.value(lib);
        options.outputDir = parser.value(outputDir);
        for (const QString &dir : {options.libDir, options.outputDir}) {
            if (!dir.isEmpty() && !QFileInfo(dir).isDir() && problem.isEmpty())
                problem = QStringLiteral("Not a folder: %1").arg(dir);
        }
        options.endpoints = endpointsFromParser(parser, &problem);
    }
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return std::nullopt;
    }
    return options;
}

} // namespace q48
