#include "IniFile.h"

#include "presets/FileAccess.h"

#include <QFile>

namespace q48 {

bool IniFile::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Could not open \"%1\": %2.")
                         .arg(FileAccess::displayPath(path), file.errorString());
        return false;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("Could not read \"%1\": %2.")
                         .arg(FileAccess::displayPath(path), file.errorString());
        return false;
    }
    parse(text);
    return true;
}

void IniFile::parse(const QByteArray &bytes)
{
    m_sections.clear();
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    int current = -1;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed(); // also drops the CR of CRLF
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            if (close > 0)
                current = sectionIndex(line.mid(1, close - 1).trimmed());
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || current < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key.isEmpty())
            continue;
        // The first occurrence of a key wins, as with the Windows profile functions.
        bool seen = false;
        QList<Entry> &entries = m_sections[current].entries;
        for (const Entry &entry : entries)
            seen = seen || entry.key.compare(key, Qt::CaseInsensitive) == 0;
        if (!seen)
            entries.append({key, value});
    }
}

QByteArray IniFile::text() const
{
    QString out;
    for (const Section &section : m_sections) {
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        out += QLatin1Char('[') + section.name + QStringLiteral("]\n");
        for (const Entry &entry : section.entries)
            out += entry.key + QLatin1Char('=') + entry.value + QLatin1Char('\n');
    }
#ifdef Q_OS_WIN
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
#endif
    return out.toUtf8();
}

bool IniFile::save(const QString &path, QString *error) const
{
    return FileAccess::writeWholeFile(path, text(), error);
}

const IniFile::Entry *IniFile::find(const QString &section, const QString &key) const
{
    for (const Section &s : m_sections) {
        if (s.name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        for (const Entry &entry : s.entries)
            if (entry.key.compare(key, Qt::CaseInsensitive) == 0)
                return &entry;
    }
    return nullptr;
}

int IniFile::sectionIndex(const QString &name)
{
    for (int i = 0; i < m_sections.size(); ++i)
        if (m_sections[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    m_sections.append({name, {}});
    return int(m_sections.size()) - 1;
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    return find(section, key) != nullptr;
}

QString IniFile::value(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Entry *entry = find(section, key);
    return entry ? entry->value : defaultValue;
}

int IniFile::intValue(const QString &section, const QString &key, int defaultValue) const
{
    const Entry *entry = find(section, key);
    if (!entry)
        return defaultValue;
    bool ok = false;
    const int number = entry->value.toInt(&ok, 10);
    return ok ? number : defaultValue;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    Section &s = m_sections[sectionIndex(section)];
    for (Entry &entry : s.entries) {
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0) {
            entry.value = value;
            return;
        }
    }
    s.entries.append({key, value});
}

void IniFile::setIntValue(const QString &section, const QString &key, int value)
{
    setValue(section, key, QString::number(value));
}

} // namespace q48
