#pragma once

#include <QString>

namespace q48 {

// The little the command line needs of the console, behind one platform switch.
class Terminal {
public:
    static bool stdinIsTerminal();
    static bool stderrIsTerminal();

    // Blocks for one line of standard input; empty at end of input.
    static QString readLine();
    static void writeOut(const QString &text);
    static void writeErr(const QString &text);
};

} // namespace q48
