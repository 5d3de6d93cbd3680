#pragma once

#include <QStringList>

#include <optional>

namespace q48 {

// Names of the machine's serial ports, in the system's order; empty when there are none.
// An override, when set, replaces the enumeration entirely (an empty list means no ports),
// so tests and the --serial-ports option never touch the machine's own ports.
QStringList listSerialPorts();

// Process-wide; safe to call from any thread.
void setSerialPortOverride(std::optional<QStringList> ports);
std::optional<QStringList> serialPortOverride();

} // namespace q48
