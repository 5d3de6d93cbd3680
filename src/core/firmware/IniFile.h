#pragma once

#include <QList>
#include <QString>

namespace q48 {

// A small INI reader and writer. Values are kept whole (a comma is text, not a list), blanks
// around keys and values are dropped, section and key names match without regard to case,
// and CRLF line ends and a UTF-8 byte order mark are accepted. Lines starting with ';' or
// '#' are comments.
class IniFile {
public:
    // Replaces the content with the file's. False, with the reason, when it cannot be read.
    bool load(const QString &path, QString *error = nullptr);
    void parse(const QByteArray &text);
    // Writes every section and key in the order they were first set, atomically.
    bool save(const QString &path, QString *error = nullptr) const;
    QByteArray text() const;

    bool contains(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // The default also when the value is not a whole decimal number.
    int intValue(const QString &section, const QString &key, int defaultValue) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    void setIntValue(const QString &section, const QString &key, int value);

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        QList<Entry> entries;
    };

    const Entry *find(const QString &section, const QString &key) const;
    // Adds the section when it is new.
    int sectionIndex(const QString &name);

    QList<Section> m_sections;
};

} // namespace q48
