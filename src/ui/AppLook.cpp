#include "AppLook.h"

#include <QApplication>
#include <QStyleFactory>

// Resources of a static library must be registered by hand, outside any namespace.
static void initQ48GuiResources()
{
    Q_INIT_RESOURCE(q48gui);
}

namespace q48 {

void ensureGuiResources()
{
    static const bool done = (initQ48GuiResources(), true);
    Q_UNUSED(done);
}

QPalette lookPalette()
{
    const QColor window(0xec, 0xef, 0xf3);
    const QColor text(0x17, 0x1a, 0x1f);
    const QColor button(0xdf, 0xe4, 0xea);
    const QColor disabledText(0x8a, 0x90, 0x99);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xf4, 0xf6, 0xf9));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xf2, 0xf4, 0xf7));
    p.setColor(QPalette::Mid, QColor(0xb4, 0xbc, 0xc6));
    p.setColor(QPalette::Dark, QColor(0x8c, 0x96, 0xa3));
    p.setColor(QPalette::Shadow, QColor(0x4a, 0x52, 0x5c));
    p.setColor(QPalette::Highlight, QColor(0x1f, 0x6f, 0xbf));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x1a, 0x5f, 0xb4));
    p.setColor(QPalette::LinkVisited, QColor(0x5e, 0x3c, 0x99));
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xfb, 0xe6));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x6b, 0x72, 0x80));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(0xe6, 0xe9, 0xed));
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x9a, 0xa8, 0xb8));
    return p;
}

QFont lookFont(int pixelSize)
{
    // Tahoma-like metrics first: the layouts were drawn for them.
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Segoe UI"), QStringLiteral("Arial"),
                      QStringLiteral("Helvetica"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    return font;
}

QIcon appIcon()
{
    ensureGuiResources();
    return QIcon(QStringLiteral(":/q48/q48.svg"));
}

void applyLook(QApplication &app)
{
    ensureGuiResources();
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setPalette(lookPalette());
    app.setFont(lookFont(11));
    app.setWindowIcon(appIcon());
}

} // namespace q48

#include <QLabel>

namespace q48 {

void growToFit(QLabel *label)
{
    const int wanted = label->sizeHint().width();
    if (wanted > label->width())
        label->resize(wanted, label->height());
}

} // namespace q48

namespace q48 {

void fitTextSize(QLabel *label, int largest, int smallest)
{
    QFont font = label->font();
    for (int size = largest; size >= smallest; --size) {
        font.setPixelSize(size);
        label->setFont(font);
        if (label->sizeHint().width() <= label->width())
            return;
    }
}

} // namespace q48
