#include "FaultSet.h"

#include <optional>
#include <vector>

namespace q48::sim {

namespace {

std::optional<int> toInt(const QString &text, int min, int max)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

struct FaultDef {
    const char *name;
    const char *usage;
    const char *help;
};

const std::vector<FaultDef> &faultDefs()
{
    static const std::vector<FaultDef> defs = {
        {"garbage", "garbage[:N]",
         "N junk bytes (default 5, never 0x01) before every frame the device sends"},
        {"split", "split[:MS]",
         "every frame sent in 2 to 4 pieces cut at random, 1..MS ms apart (default 5)"},
        {"fail-packet", "fail-packet:I:N", "packet N of image I is answered with status 1 (image failed)"},
        {"not-ready", "not-ready[:I]", "begin of image I (default: every image) answered with status 1"},
        {"wrong-image", "wrong-image[:I]", "ready reply to image I (default: every image) names image I+1"},
        {"stall", "stall:N",
         "once per run, the device falls silent on its link after N packets of a transfer: the Nth firmware "
         "or import packet goes unanswered, an export or DSP read-back stops after N packets"},
        {"close", "close:N", "as stall, but the connection is closed instead (serial: falls silent)"},
        {"close-in-reboot", "close-in-reboot",
         "once per run, the connection is closed halfway through the reboot"},
        {"dup-ack", "dup-ack:P", "import packet P is acknowledged twice"},
        {"ooo-ack", "ooo-ack:P", "import packet P is acknowledged as packet P+1 (P-1 for packet 30)"},
        {"export-wrong-size", "export-wrong-size:P[:D]",
         "export packet P is sent D bytes longer (default -1)"},
        {"export-drop", "export-drop:P", "export packet P is never sent"},
        {"stream-delay", "stream-delay:MS",
         "MS ms before every packet of a transfer (export, DSP frames, firmware requests, import acks)"},
        {"dsp-gaps", "dsp-gaps[:K]",
         "DSP read-back leaves out frames K, 2K, ... (default 40; 321 always sent)"},
        {"probe-silent", "probe-silent", "TCP connections are accepted but never answered"},
        {"preset-wrong-size", "preset-wrong-size[:S]",
         "preset data of kind sub-code S (default: every kind) is one byte short"},
        {"dup-request", "dup-request:I:N", "the request for packet N of image I is sent twice"},
    };
    return defs;
}

} // namespace

QStringList FaultSet::helpLines()
{
    QStringList lines;
    for (const FaultDef &d : faultDefs())
        lines << QStringLiteral("  %1\n      %2").arg(QLatin1String(d.usage), QLatin1String(d.help));
    return lines;
}

bool FaultSet::add(const QString &fault, QString *error)
{
    const QStringList parts = fault.split(QLatin1Char(':'));
    const QString name = parts.value(0).trimmed();
    const QStringList args = parts.mid(1);

    bool known = false;
    for (const FaultDef &d : faultDefs())
        known = known || name == QLatin1String(d.name);
    if (!known) {
        *error = QStringLiteral("unknown fault '%1' (see --help)").arg(name);
        return false;
    }

    const auto fail = [&]() {
        QString usage;
        for (const FaultDef &d : faultDefs())
            if (name == QLatin1String(d.name))
                usage = QLatin1String(d.usage);
        *error = QStringLiteral("bad fault '%1', expected %2").arg(fault, usage);
        return false;
    };
    // Reads argument i, or falls back when it is optional and absent.
    const auto arg = [&](int i, int min, int max, std::optional<int> fallback) -> std::optional<int> {
        if (i >= args.size())
            return fallback;
        return toInt(args.at(i), min, max);
    };
    const auto argCountIn = [&](int lo, int hi) { return args.size() >= lo && args.size() <= hi; };

    if (name == QLatin1String("garbage")) {
        const auto n = arg(0, 1, 1000, 5);
        if (!argCountIn(0, 1) || !n)
            return fail();
        garbageBytes = *n;
    } else if (name == QLatin1String("split")) {
        const auto ms = arg(0, 1, 1000, 5);
        if (!argCountIn(0, 1) || !ms)
            return fail();
        splitMaxDelayMs = *ms;
    } else if (name == QLatin1String("fail-packet") || name == QLatin1String("dup-request")) {
        const auto image = arg(0, 0, 3, std::nullopt);
        const auto packet = arg(1, 0, 65535, std::nullopt);
        if (!argCountIn(2, 2) || !image || !packet)
            return fail();
        if (name == QLatin1String("fail-packet")) {
            failImage = *image;
            failPacket = *packet;
        } else {
            dupRequestImage = *image;
            dupRequestPacket = *packet;
        }
    } else if (name == QLatin1String("not-ready") || name == QLatin1String("wrong-image")) {
        const auto image = arg(0, 0, 3, kAny);
        if (!argCountIn(0, 1) || !image)
            return fail();
        (name == QLatin1String("not-ready") ? notReadyImage : wrongImage) = *image;
    } else if (name == QLatin1String("stall") || name == QLatin1String("close")) {
        const auto n = arg(0, 1, 100000, std::nullopt);
        if (!argCountIn(1, 1) || !n)
            return fail();
        (name == QLatin1String("stall") ? stallAfter : closeAfter) = *n;
    } else if (name == QLatin1String("close-in-reboot")) {
        if (!args.isEmpty())
            return fail();
        closeInReboot = true;
    } else if (name == QLatin1String("dup-ack") || name == QLatin1String("ooo-ack") ||
               name == QLatin1String("export-drop")) {
        const auto p = arg(0, 1, 30, std::nullopt);
        if (!argCountIn(1, 1) || !p)
            return fail();
        if (name == QLatin1String("dup-ack"))
            dupAckPackets.insert(*p);
        else if (name == QLatin1String("ooo-ack"))
            oooAckPackets.insert(*p);
        else
            exportDropPackets.insert(*p);
    } else if (name == QLatin1String("export-wrong-size")) {
        const auto p = arg(0, 1, 30, std::nullopt);
        const auto delta = arg(1, -2000, 2000, -1);
        if (!argCountIn(1, 2) || !p || !delta || *delta == 0)
            return fail();
        exportWrongSize.insert(*p, *delta);
    } else if (name == QLatin1String("stream-delay")) {
        const auto ms = arg(0, 1, 600000, std::nullopt);
        if (!argCountIn(1, 1) || !ms)
            return fail();
        streamDelayMs = *ms;
    } else if (name == QLatin1String("dsp-gaps")) {
        const auto k = arg(0, 2, 320, 40);
        if (!argCountIn(0, 1) || !k)
            return fail();
        dspGapEvery = *k;
    } else if (name == QLatin1String("probe-silent")) {
        if (!args.isEmpty())
            return fail();
        probeSilent = true;
    } else if (name == QLatin1String("preset-wrong-size")) {
        const auto s = arg(0, 1, 4, kAny);
        if (!argCountIn(0, 1) || !s)
            return fail();
        presetWrongSizeKind = *s;
    }
    return true;
}

} // namespace q48::sim
