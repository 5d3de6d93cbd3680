#include "ProgressLine.h"

#include "Terminal.h"

namespace q48 {

namespace {
constexpr qint64 kRedrawMs = 100;

QString rateText(double bytesPerSecond)
{
    if (bytesPerSecond >= 1024.0 * 1024.0)
        return QStringLiteral("%1 MiB/s").arg(bytesPerSecond / (1024.0 * 1024.0), 0, 'f', 1);
    if (bytesPerSecond >= 1024.0)
        return QStringLiteral("%1 KiB/s").arg(bytesPerSecond / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 B/s").arg(qint64(bytesPerSecond));
}
} // namespace

QString ProgressLine::render(const QString &label, const QString &unit, qint64 done, qint64 total,
                             qint64 bytesPerUnit, qint64 elapsedMs)
{
    const int percent = total > 0 ? int(qBound(qint64(0), done * 100 / total, qint64(100))) : 100;
    QString text = QStringLiteral("%1  %2 %3/%4  %5%").arg(label, unit).arg(done).arg(total).arg(percent);
    if (elapsedMs > 0 && done > 0) {
        const double rate = double(done * bytesPerUnit) * 1000.0 / double(elapsedMs);
        const qint64 left = total > done ? (total - done) * elapsedMs / done / 1000 : 0;
        text += QStringLiteral("  %1  ETA %2:%3")
                    .arg(rateText(rate))
                    .arg(left / 60)
                    .arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

void ProgressLine::begin(const QString &label, const QString &unit, qint64 total, qint64 bytesPerUnit)
{
    clear();
    m_label = label;
    m_unit = unit;
    m_total = total;
    m_bytesPerUnit = bytesPerUnit;
    m_done = 0;
    m_lastTenth = -1;
    m_clock.start();
    m_lastDraw.invalidate();
    m_active = true;
    update(0);
}

void ProgressLine::update(qint64 done)
{
    if (m_mode == SilentMode || !m_active)
        return;
    m_done = done;
    const bool last = done >= m_total;
    if (m_mode == TerminalMode) {
        if (!last && m_lastDraw.isValid() && !m_lastDraw.hasExpired(kRedrawMs))
            return;
        m_lastDraw.start();
        draw(render(m_label, m_unit, done, m_total, m_bytesPerUnit, m_clock.elapsed()));
        return;
    }
    const int tenth = m_total > 0 ? int(qBound(qint64(0), done * 10 / m_total, qint64(10))) : 10;
    if (tenth == m_lastTenth)
        return;
    m_lastTenth = tenth;
    Terminal::writeErr(render(m_label, m_unit, done, m_total, m_bytesPerUnit, m_clock.elapsed()) +
                       QLatin1Char('\n'));
}

void ProgressLine::countdown(const QString &label, int seconds)
{
    if (m_mode == SilentMode || seconds == m_lastCountdown)
        return;
    m_lastCountdown = seconds;
    const QString text = QStringLiteral("%1: %2 s").arg(label).arg(seconds);
    if (m_mode == TerminalMode)
        draw(text);
    else if (seconds % 5 == 0 || seconds <= 3)
        Terminal::writeErr(text + QLatin1Char('\n'));
}

void ProgressLine::note(const QString &line)
{
    if (m_mode == SilentMode)
        return;
    clear();
    Terminal::writeErr(line + QLatin1Char('\n'));
}

void ProgressLine::clear()
{
    m_lastCountdown = -1;
    if (m_lineOpen) {
        Terminal::writeErr(QStringLiteral("\n"));
        m_lineOpen = false;
    }
}

void ProgressLine::draw(const QString &text)
{
    // Back to the line start and erase its rest: a shorter line leaves nothing behind.
    Terminal::writeErr(QStringLiteral("\r") + text + QStringLiteral("\x1b[K"));
    m_lineOpen = true;
}

} // namespace q48
