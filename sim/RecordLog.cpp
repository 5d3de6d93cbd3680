#include "RecordLog.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace q48::sim {

bool RecordLog::open(const QString &path, QString *error)
{
    clock_.start();
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("cannot open record file %1: %2").arg(path, file_.errorString());
        return false;
    }
    return true;
}

void RecordLog::append(const QString &link, const QByteArray &bytes, int command, int subCode)
{
    if (!file_.isOpen())
        return;
    const QJsonObject line{
        {QStringLiteral("timeMs"), double(clock_.elapsed())},
        {QStringLiteral("link"), link},
        {QStringLiteral("command"), command},
        {QStringLiteral("subCode"), subCode},
        {QStringLiteral("size"), int(bytes.size())},
        {QStringLiteral("hex"), QString::fromLatin1(bytes.toHex())},
    };
    file_.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    file_.flush();
}

} // namespace q48::sim
