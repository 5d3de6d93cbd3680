#pragma once

#include "FaultSet.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace q48::sim {

struct SimOptions {
    QHostAddress bindAddress{QHostAddress::LocalHost};
    bool tcp = true;
    int tcpPort = 5000;
    bool udp = true;
    int udpPort = 8000;
    QString serialPty; // empty: no serial link
    bool pace = false;
    int utype = 0;
    double rebootSeconds = 2.0;
    bool rebootNoise = false;
    // Stop once standard input reaches end of file: the test that started us has gone.
    bool exitWithParent = false;
    QString recordFile;
    QString summaryFile;
    quint32 seed = 48;
    FaultSet faults;

    // Parses the command line; on false `error` says why (empty when --help or --version was served).
    static bool parse(const QStringList &arguments, SimOptions *out, QString *error);
};

} // namespace q48::sim
