#pragma once

#include <QFont>
#include <QIcon>
#include <QPalette>

class QApplication;

namespace q48 {

// The program's look: Fusion with a light, high-contrast palette, one font family for every
// window, and the mixer icon. Call once, right after the application object exists.
void applyLook(QApplication &app);

QPalette lookPalette();
// The windows' font at a pixel size; sizes are pixels so the absolute layouts keep fitting.
QFont lookFont(int pixelSize);
QIcon appIcon();
// Registers the icons and pictures; safe to call more than once.
void ensureGuiResources();

} // namespace q48

class QLabel;

namespace q48 {

// Widens a label to its text, keeping its left edge, the way the form labels size themselves;
// never narrows it below the width the form gives.
void growToFit(QLabel *label);

} // namespace q48

namespace q48 {

// Sets the label's font to the largest pixel size from `largest` down to `smallest` at which
// its text fits the label's width, so a fixed layout keeps a long caption whole.
void fitTextSize(QLabel *label, int largest, int smallest = 10);

} // namespace q48
