#include "CArrayExport.h"

#include "UserPrompts.h"
#include "firmware/FirmwareCatalogue.h"
#include "link/DebugLog.h"
#include "presets/FileAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iterator>

namespace q48 {

namespace {

const QString kNothingExported = QStringLiteral("0");

bool readInput(const QString &path, QByteArray *out, QString *error)
{
    const QString shown = FileAccess::displayPath(path);
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        *error = QStringLiteral("The file \"%1\" does not exist.").arg(shown);
        return false;
    }
    if (info.size() > kMaxCArrayInput) {
        *error = QStringLiteral("The file \"%1\" is too large to export: %2 bytes, at most %3.")
                     .arg(shown)
                     .arg(info.size())
                     .arg(kMaxCArrayInput);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Could not open \"%1\": %2.").arg(shown, file.errorString());
        return false;
    }
    // Read to the end rather than to the size seen above: the buffer grows with the file.
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Could not read \"%1\": %2.").arg(shown, file.errorString());
        return false;
    }
    *out = std::move(bytes);
    return true;
}

} // namespace

QByteArray cArrayText(const QByteArray &data, const QString &arrayName)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray head =
        QByteArrayLiteral("const char ") + arrayName.toLatin1() + QByteArrayLiteral("[]={\r\n");
    QByteArray text;
    text.reserve(head.size() + data.size() * 5 + data.size() / 16 + 8);
    text.append(head);
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i % 16 == 0)
            text.append('\r');
        const auto byte = static_cast<unsigned char>(data[i]);
        const char item[] = {'0', 'x', kHex[byte >> 4], kHex[byte & 0x0F], ','};
        text.append(item, qsizetype(std::size(item)));
    }
    text.append("\r\n};\r\n");
    return text;
}

QString exportCArray(int k, UserPrompts &prompts, const QString &outputFolder, QString *outputPath)
{
    constexpr int nameCount = int(std::size(firmwareArrayNames));
    if (k < 0 || k >= nameCount) {
        qCWarning(lcFiles) << "C-array export: no array name for selector item" << k;
        return kNothingExported;
    }
    const QString input = prompts.openFileName(kCArrayOpenFilter).trimmed();
    if (input.isEmpty())
        return kNothingExported;

    QByteArray convBuf;
    QString error;
    if (!readInput(input, &convBuf, &error)) {
        qCWarning(lcFiles).noquote() << error;
        prompts.message(error + QStringLiteral(" Nothing was exported."));
        return kNothingExported;
    }
    const QString name = QLatin1String(firmwareArrayNames[k]);
    const QString folder = outputFolder.isEmpty() ? QCoreApplication::applicationDirPath() : outputFolder;
    const QString output = QDir(folder).filePath(QStringLiteral("f") + name + QStringLiteral(".cpp"));
    if (!FileAccess::writeWholeFile(output, cArrayText(convBuf, name), &error)) {
        prompts.message(error + QStringLiteral(" Nothing was exported."));
        return kNothingExported;
    }
    if (outputPath)
        *outputPath = output;
    return input;
}

QString dspSendClick(int k, UserPrompts &prompts, const QString &outputFolder)
{
    if (k < 0)
        return QString();
    const QString result = exportCArray(k, prompts, outputFolder);
    if (result != kNothingExported)
        prompts.message(QStringLiteral("Sucess export files"));
    return result;
}

} // namespace q48
