#pragma once

#include <QByteArray>

#include <initializer_list>

namespace q48::test {

// Frames in tests are written as the byte values a trace shows: bytes({0x01, 0x20, 0x03, ...}).
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    out.reserve(qsizetype(values.size()));
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace q48::test
