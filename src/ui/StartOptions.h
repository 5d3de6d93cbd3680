#pragma once

#include "connection/Endpoints.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace q48 {

// What the command line can change: the engineering page, and where discovery looks (the same
// options as q48ctl; tests and demos point them at loopback and an explicit port list).
struct StartOptions {
    bool engineering = false;
    DiscoveryEndpoints endpoints;
    // Ver.ini and the images; empty means the lib folder beside the executable.
    QString libDir;
    // Where DSP read-backs and C arrays go; empty means the executable's folder.
    QString outputDir;
};

// Parses the arguments (program name first). On a bad value returns nothing and sets `error` to
// a message naming the option; --help and --version come back as `helpText`.
std::optional<StartOptions> parseStartOptions(const QStringList &arguments, QString *error,
                                              QString *helpText);

} // namespace q48
