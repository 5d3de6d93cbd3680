#include "AppTitle.h"

namespace q48 {

namespace {
QString &titleStore()
{
    static QString title = QStringLiteral("Q48UpdateTool");
    return title;
}
} // namespace

QString applicationTitle()
{
    return titleStore();
}

void setApplicationTitle(const QString &title)
{
    titleStore() = title;
}

} // namespace q48
