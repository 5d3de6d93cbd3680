#include "AppLook.h"
#include "AppTitle.h"
#include "GuiPrompts.h"
#include "StartOptions.h"
#include "TMainForm.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("q48tool"));
    QApplication::setApplicationVersion(QStringLiteral(Q48_VERSION));
    q48::setApplicationTitle(QStringLiteral("Q48UpdateTool"));
    q48::applyLook(app);

    QString error;
    QString helpText;
    const std::optional<q48::StartOptions> options =
        q48::parseStartOptions(QApplication::arguments(), &error, &helpText);
    if (!options) {
        if (!helpText.isEmpty()) {
            std::fputs(qPrintable(helpText + QLatin1Char('\n')), stdout);
            return 0;
        }
        std::fputs(qPrintable(error + QLatin1Char('\n')), stderr);
        q48::GuiPrompts().message(error + QStringLiteral("\n\nRun with --help for the options."));
        return 2;
    }

    q48::ServiceCore::Options coreOptions;
    coreOptions.endpoints = options->endpoints;
    coreOptions.libDir = options->libDir;
    coreOptions.outputDir = options->outputDir;
    // The main window owns the core, and with it Data, the name store every window shows.
    TMainForm mainForm(coreOptions);
    mainForm.setEngineering(options->engineering);
    // However the loop ends, the workers are stopped and joined before the exit.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &mainForm, &TMainForm::FormClose);
    mainForm.FormCreate();
    mainForm.show();
    // The last window closing ends the loop; exec returns 0 then.
    return app.exec();
}
