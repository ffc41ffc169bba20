#include "viewer/reading/PanelColours.h"

#include <QPalette>
#include <QWidget>

namespace {

QPalette DarkPalette()
{
    const QColor window(0x2b, 0x2b, 0x2b);
    const QColor base(0x1e, 0x1e, 0x1e);
    const QColor text(0xe6, 0xe6, 0xe6);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x6f, 0xb4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Link, QColor(0x8a, 0xb4, 0xf8));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return palette;
}

// The sepia theme's paper and ink, as the page takes them.
QPalette SepiaPalette()
{
    const QColor paper(244, 236, 216);
    const QColor window(236, 226, 202);
    const QColor ink(91, 70, 54);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, ink);
    palette.setColor(QPalette::Base, paper);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, ink);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, ink);
    palette.setColor(QPalette::Highlight, QColor(139, 94, 52));
    palette.setColor(QPalette::HighlightedText, paper);
    palette.setColor(QPalette::PlaceholderText, QColor(150, 130, 110));
    palette.setColor(QPalette::ToolTipBase, paper);
    palette.setColor(QPalette::ToolTipText, ink);
    palette.setColor(QPalette::Link, QColor(120, 70, 30));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(160, 145, 125));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(160, 145, 125));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(160, 145, 125));
    return palette;
}

} // namespace

void ColourPanel(QWidget& panel, EPageColours colours)
{
    // A palette that sets no role gives the panel back the one it inherits.
    panel.setPalette(colours == EPageColours::Dark ? DarkPalette()
            : colours == EPageColours::Sepia       ? SepiaPalette()
                                                   : QPalette());
    panel.setAutoFillBackground(colours != EPageColours::Own);
}
