#include "DebugLog.h"

namespace q48 {

Q_LOGGING_CATEGORY(lcLink, "q48.link")
Q_LOGGING_CATEGORY(lcDiscovery, "q48.discovery")
Q_LOGGING_CATEGORY(lcFirmware, "q48.firmware")
Q_LOGGING_CATEGORY(lcPresets, "q48.presets")
Q_LOGGING_CATEGORY(lcMemory, "q48.memory")
Q_LOGGING_CATEGORY(lcFiles, "q48.files")

void debugLog(const QString &text, const QLoggingCategory &category)
{
    qCDebug(category).noquote() << text;
}

void debugLogNumber(const QString &text, long long number, const QLoggingCategory &category)
{
    debugLog(text + QStringLiteral("  ") + QString::number(number), category);
}

QString sendDataLine(long long number, const QByteArray &frame)
{
    QString line = QStringLiteral("\r\n SendData: ") + QString::number(number) + QStringLiteral("  ");
    for (char byte : frame)
        line += QStringLiteral("%1 ").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    return line + QStringLiteral("\r\n ");
}

} // namespace q48
