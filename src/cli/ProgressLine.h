#pragma once

#include <QElapsedTimer>
#include <QString>

namespace q48 {

// Progress on standard error: one line redrawn in place on a terminal (at most ten times a
// second), plain lines at every tenth when piped, nothing at all with --json.
class ProgressLine {
public:
    enum Mode { TerminalMode, PlainMode, SilentMode };

    explicit ProgressLine(Mode mode) : m_mode(mode) {}
    ~ProgressLine() { clear(); }

    Mode mode() const { return m_mode; }

    // A new transfer: `label` names it ("image 1/4 MB0126001505"), `unit` its steps
    // ("packet"), `bytesPerUnit` sizes the rate.
    void begin(const QString &label, const QString &unit, qint64 total, qint64 bytesPerUnit);
    void update(qint64 done);
    // Seconds left of a wait the device imposes (its restart).
    void countdown(const QString &label, int seconds);
    // A line of its own, e.g. a finished image.
    void note(const QString &line);
    // Ends the redrawn line so what follows starts clean.
    void clear();

    // The line as drawn for `done` steps after `elapsedMs`; public for its tests.
    static QString render(const QString &label, const QString &unit, qint64 done, qint64 total,
                          qint64 bytesPerUnit, qint64 elapsedMs);

private:
    void draw(const QString &text);

    Mode m_mode;
    QString m_label;
    QString m_unit;
    qint64 m_total = 0;
    qint64 m_bytesPerUnit = 0;
    qint64 m_done = 0;
    int m_lastTenth = -1;
    int m_lastCountdown = -1;
    bool m_lineOpen = false;
    bool m_active = false;
    QElapsedTimer m_clock;
    QElapsedTimer m_lastDraw;
};

} // namespace q48
