#include "GuiPrompts.h"

#include "AppTitle.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace q48 {

QWidget *GuiPrompts::dialogParent() const
{
    // In front of the feature window that asked, not behind it on the main window.
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

bool GuiPrompts::askYesNo(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, dialogParent());
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void GuiPrompts::message(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? applicationTitle() : title, text, QMessageBox::Ok,
                    dialogParent());
    box.exec();
}

QString GuiPrompts::saveFileName(const QString &filter)
{
    QFileDialog dialog(dialogParent());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(toQtFilter(filter));
    // A name typed without extension still lands in a file the open dialog will list later.
    dialog.setDefaultSuffix(defaultSuffix(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString GuiPrompts::openFileName(const QString &filter)
{
    QFileDialog dialog(dialogParent());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(toQtFilter(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

namespace {
QString normalisedPatterns(QString patterns)
{
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return patterns.simplified();
}
} // namespace

QString GuiPrompts::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList lines;
    for (int i = 0; i < parts.size(); i += 2) {
        const QString label = parts.at(i).trimmed();
        const QString patterns = i + 1 < parts.size() ? normalisedPatterns(parts.at(i + 1)) : QString();
        if (label.isEmpty() && patterns.isEmpty())
            continue;
        const QString shown = patterns.isEmpty() ? QStringLiteral("*") : patterns;
        const QString suffix = QLatin1Char('(') + shown + QLatin1Char(')');
        // Keep the label as written when its brackets already say what it matches.
        if (label.endsWith(suffix) && !label.isEmpty())
            lines << label;
        else if (label.isEmpty())
            lines << suffix;
        else
            lines << label + QLatin1Char(' ') + suffix;
    }
    if (lines.isEmpty())
        return QStringLiteral("(*)");
    return lines.join(QStringLiteral(";;"));
}

QString GuiPrompts::defaultSuffix(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() != 2)
        return {};
    const QString patterns = normalisedPatterns(parts.at(1));
    if (patterns.contains(QLatin1Char(' ')) || !patterns.startsWith(QLatin1String("*.")))
        return {};
    const QString ext = patterns.mid(2);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')))
        return {};
    return ext;
}

} // namespace q48
