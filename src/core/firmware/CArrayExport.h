#pragma once

#include <QByteArray>
#include <QString>

namespace q48 {

class UserPrompts;

// Turns a binary file into C source defining one const char array, for the engineering page.

// Filter of the file dialog that picks the input.
inline const QString kCArrayOpenFilter = QStringLiteral("(bin)|*.bin|(sg)|*.sg");
// Inputs above this are refused: the text is five times the input and lives in memory.
inline constexpr qint64 kMaxCArrayInput = 64 * 1024 * 1024;

// The source text: the declaration, each 16-byte line introduced by a bare CR, "0x%02X," per
// byte, then CR LF "};" CR LF.
QByteArray cArrayText(const QByteArray &data, const QString &arrayName);

// Asks for a file and writes "f<name>.cpp" into the output folder (the executable's folder when
// empty), name = firmwareArrayNames[k]. Returns the chosen file name, trimmed, or "0" when
// nothing was exported; a file that cannot be read or written is reported to the user.
// `outputPath`, when given, receives the path of the written source.
QString exportCArray(int k, UserPrompts &prompts, const QString &outputFolder = QString(),
                     QString *outputPath = nullptr);

// The "Browser" button: exportCArray, then "Sucess export files" when something was written.
// Returns the line for the input memo: the exported file's name, "0" when nothing was exported,
// or a null string for a negative k (nothing ran).
QString dspSendClick(int k, UserPrompts &prompts, const QString &outputFolder = QString());

} // namespace q48
