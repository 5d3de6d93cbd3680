#include "SerialPortList.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSerialPortInfo>

namespace q48 {

namespace {
QMutex &overrideMutex()
{
    static QMutex mutex;
    return mutex;
}
std::optional<QStringList> &overrideList()
{
    static std::optional<QStringList> list;
    return list;
}
} // namespace

QStringList listSerialPorts()
{
    if (std::optional<QStringList> ports = serialPortOverride())
        return *ports;
    QStringList names;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        names << info.portName();
    return names;
}

void setSerialPortOverride(std::optional<QStringList> ports)
{
    QMutexLocker lock(&overrideMutex());
    overrideList() = std::move(ports);
}

std::optional<QStringList> serialPortOverride()
{
    QMutexLocker lock(&overrideMutex());
    return overrideList();
}

} // namespace q48
