#pragma once

#include <QString>

namespace q48 {

// The application's title: "Q48UpdateTool" at start-up, then the main window's caption. Message
// boxes without a title of their own show it.
QString applicationTitle();
void setApplicationTitle(const QString &title);

} // namespace q48
