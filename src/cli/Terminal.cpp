#include "Terminal.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define Q48_ISATTY _isatty
#define Q48_FILENO _fileno
#else
#include <unistd.h>
#define Q48_ISATTY isatty
#define Q48_FILENO fileno
#endif

namespace q48 {

bool Terminal::stdinIsTerminal()
{
    return Q48_ISATTY(Q48_FILENO(stdin)) != 0;
}

bool Terminal::stderrIsTerminal()
{
    return Q48_ISATTY(Q48_FILENO(stderr)) != 0;
}

QString Terminal::readLine()
{
    char buffer[512];
    if (!std::fgets(buffer, sizeof buffer, stdin))
        return {};
    return QString::fromLocal8Bit(buffer).trimmed();
}

void Terminal::writeOut(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void Terminal::writeErr(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace q48
