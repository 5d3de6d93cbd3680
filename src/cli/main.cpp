#include "CliRunner.h"

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("q48ctl"));
    // The core's trace lines would bury the progress; QT_LOGGING_RULES brings them back.
    QLoggingCategory::setFilterRules(QStringLiteral("q48.*.debug=false\nq48.*.info=false"));
    q48::CliRunner runner(QCoreApplication::arguments());
    return runner.run();
}
