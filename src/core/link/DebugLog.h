#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

namespace q48 {

Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcDiscovery)
Q_DECLARE_LOGGING_CATEGORY(lcFirmware)
Q_DECLARE_LOGGING_CATEGORY(lcPresets)
Q_DECLARE_LOGGING_CATEGORY(lcMemory)
Q_DECLARE_LOGGING_CATEGORY(lcFiles)

// The program's diagnostic lines, kept word for word so that a trace reads the same on
// every platform. Each goes to the subsystem's logging category.
void debugLog(const QString &text, const QLoggingCategory &category = lcLink());
void debugLogNumber(const QString &text, long long number, const QLoggingCategory &category = lcLink());

// "\r\n SendData: <number>  <hex bytes each followed by a blank>\r\n "
QString sendDataLine(long long number, const QByteArray &frame);

} // namespace q48
