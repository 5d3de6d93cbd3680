#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace q48::sim {

// The misbehaviours the simulated mixer can be told to show. -1 means "off" for numeric
// fields; kAny makes an image or kind specific fault apply to all.
struct FaultSet {
    static constexpr int kOff = -1;
    static constexpr int kAny = -2;

    int garbageBytes = 0;       // garbage[:N]
    int splitMaxDelayMs = kOff; // split[:MS]
    int failImage = kOff;       // fail-packet:I:N
    int failPacket = kOff;
    int notReadyImage = kOff;   // not-ready[:I]
    int wrongImage = kOff;      // wrong-image[:I]
    int stallAfter = kOff;      // stall:N
    int closeAfter = kOff;      // close:N
    bool closeInReboot = false; // close-in-reboot
    // Packet faults may be given for several packets.
    QSet<int> dupAckPackets;        // dup-ack:P
    QSet<int> oooAckPackets;        // ooo-ack:P
    QMap<int, int> exportWrongSize; // export-wrong-size:P[:DELTA], packet -> size change
    QSet<int> exportDropPackets;    // export-drop:P
    int streamDelayMs = 0;          // stream-delay:MS
    int dspGapEvery = 0;            // dsp-gaps[:K]
    bool probeSilent = false;       // probe-silent
    int presetWrongSizeKind = kOff; // preset-wrong-size[:S], kAny = every kind
    int dupRequestImage = kOff;     // dup-request:I:N
    int dupRequestPacket = kOff;

    // Parses one NAME[:ARGS] and merges it in; false and a message on a bad name or argument.
    bool add(const QString &fault, QString *error);

    static bool matches(int selector, int value) { return selector == kAny || selector == value; }

    // One line per fault for --help.
    static QStringList helpLines();
};

} // namespace q48::sim
