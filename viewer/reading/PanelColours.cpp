#include "viewer/reading/PanelColours.h"

#include <QPalette>
#include <QWidget>

namespace {

// The few colours a scheme chooses; every role of the panels' palette is made of them.
struct TPanelScheme {
    QColor window;
    QColor base; // of fields and lists
    QColor text;
    QColor button;
    QColor toolTip;
    QColor highlight;
    QColor highlightedText;
    QColor placeholder;
    QColor link;
    QColor disabled;
};

QPalette SchemePalette(const TPanelScheme& scheme)
{
    QPalette palette;
    palette.setColor(QPalette::Window, scheme.window);
    palette.setColor(QPalette::WindowText, scheme.text);
    palette.setColor(QPalette::Base, scheme.base);
    palette.setColor(QPalette::AlternateBase, scheme.window);
    palette.setColor(QPalette::Text, scheme.text);
    palette.setColor(QPalette::Button, scheme.button);
    palette.setColor(QPalette::ButtonText, scheme.text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, scheme.highlight);
    palette.setColor(QPalette::HighlightedText, scheme.highlightedText);
    palette.setColor(QPalette::PlaceholderText, scheme.placeholder);
    palette.setColor(QPalette::ToolTipBase, scheme.toolTip);
    palette.setColor(QPalette::ToolTipText, scheme.text);
    palette.setColor(QPalette::Link, scheme.link);
    palette.setColor(QPalette::Disabled, QPalette::Text, scheme.disabled);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, scheme.disabled);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, scheme.disabled);
    return palette;
}

QPalette DarkPalette()
{
    const QColor window(0x2b, 0x2b, 0x2b);
    return SchemePalette({ .window = window,
        .base = QColor(0x1e, 0x1e, 0x1e),
        .text = QColor(0xe6, 0xe6, 0xe6),
        .button = QColor(0x3a, 0x3a, 0x3a),
        .toolTip = window,
        .highlight = QColor(0x3d, 0x6f, 0xb4),
        .highlightedText = Qt::white,
        .placeholder = QColor(0x9a, 0x9a, 0x9a),
        .link = QColor(0x8a, 0xb4, 0xf8),
        .disabled = QColor(0x80, 0x80, 0x80) });
}

// The sepia theme's paper and ink, as the page takes them.
QPalette SepiaPalette()
{
    const QColor window(236, 226, 202);
    return SchemePalette({ .window = window,
        .base = kSepiaPaper,
        .text = kSepiaInk,
        .button = window,
        .toolTip = kSepiaPaper,
        .highlight = QColor(139, 94, 52),
        .highlightedText = kSepiaPaper,
        .placeholder = QColor(150, 130, 110),
        .link = QColor(120, 70, 30),
        .disabled = QColor(160, 145, 125) });
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
