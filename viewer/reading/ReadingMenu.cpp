#include "viewer/reading/ReadingMenu.h"

#include "viewer/reading/ReadingStyle.h"

#include <QAction>

#include <algorithm>
#include <array>

namespace {

using Font = TReadingChoices::Font;
using Theme = TReadingChoices::Theme;

// The text sizes the larger and smaller keys step through, in percent of the book's.
constexpr std::array kTextSizes { 70, 80, 90, 100, 110, 120, 140, 160, 180, 200 };

} // namespace

TReadingMenu::TReadingMenu(QWidget& window, TReadingStyle& style, QAction* darkMode)
    : QMenu(tr("&Reading"), &window)
    , Window(window)
    , Style(style)
{
    setObjectName(QStringLiteral("ReadingMenu"));
    AddChoice<Font>(tr("&Font"), "ActionNextFont", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T),
        &TReadingChoices::font,
        { { Font::Book, tr("The Book's Own") }, { Font::Serif, tr("Serif") }, { Font::Sans, tr("Sans Serif") } });

    QMenu* size = addMenu(tr("Text &Size"));
    connect(Add(*size, "ActionTextLarger", tr("Larger Text"), QKeySequence(Qt::CTRL | Qt::Key_BracketRight)),
        &QAction::triggered, this, [this] { StepTextSize(1); });
    connect(Add(*size, "ActionTextSmaller", tr("Smaller Text"), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)),
        &QAction::triggered, this, [this] { StepTextSize(-1); });
    QAction* ownSize = Add(*size, "ActionTextOwnSize", tr("The Book's Own Size"));
    ownSize->setCheckable(true);
    checks_.emplace_back(ownSize, [this] { return Style.Choices().textSize == 100; });
    connect(ownSize, &QAction::triggered, this, [this] {
        TReadingChoices c = Style.Choices();
        c.textSize = 100;
        Style.SetChoices(c);
    });

    AddChoice<int>(tr("&Line Spacing"), "ActionNextLineSpacing", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        &TReadingChoices::lineSpacing,
        { { 0, tr("The Book's Own") }, { 12, tr("Tight (1.2)") }, { 15, tr("Normal (1.5)") }, { 18, tr("Wide (1.8)") },
            { 22, tr("Widest (2.2)") } });
    AddChoice<int>(tr("&Margins"), "ActionNextMargins", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M),
        &TReadingChoices::margin,
        { { 0, tr("The Book's Own") }, { 1, tr("Narrow") }, { 3, tr("Medium") }, { 6, tr("Wide") } });
    AddChoice<int>(tr("Page &Width"), "ActionNextPageWidth", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W),
        &TReadingChoices::pageWidth,
        { { 0, tr("The Whole Window") }, { 50, tr("Wide (50 em)") }, { 40, tr("Medium (40 em)") },
            { 32, tr("Narrow (32 em)") } });

    QAction* paged
        = Add(*this, "ActionPagedReading", tr("&Paged Reading"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    paged->setCheckable(true);
    checks_.emplace_back(paged, [this] { return Style.Choices().paged; });
    connect(paged, &QAction::triggered, this, [this](bool on) {
        TReadingChoices c = Style.Choices();
        c.paged = on;
        Style.SetChoices(c);
    });

    addSeparator();
    // The themes: the book's own colours, sepia, and the dark reading mode.
    const auto theme = [this](const char* name, const QString& text, const QKeySequence& key, Theme value) {
        QAction* action = Add(*this, name, text, key);
        action->setCheckable(true);
        checks_.emplace_back(action, [this, value] { return Style.Choices().theme == value; });
        connect(action, &QAction::triggered, this, [this, value] {
            TReadingChoices c = Style.Choices();
            c.theme = value;
            Style.SetChoices(c);
        });
    };
    theme("ActionThemeLight", tr("&Light (the Book's Colours)"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L),
        Theme::Light);
    theme("ActionThemeSepia", tr("S&epia"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), Theme::Sepia);
    if (darkMode != nullptr)
        addAction(darkMode);

    addSeparator();
    connect(
        Add(*this, "ActionBooksOwnLook", tr("The &Book's Own Look"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B)),
        &QAction::triggered, this, [this] { Style.SetChoices({}); });
    // Where the menu bar is hidden (the author's choice), the menu opens by its own key.
    connect(
        Add(*this, "ActionReadingMenu", tr("Show the Reading Menu"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)),
        &QAction::triggered, this,
        [this] { popup(Window.mapToGlobal(QPoint(Window.width() / 4, Window.height() / 4))); });

    connect(&Style, &TReadingStyle::changed, this, &TReadingMenu::ShowChoices);
    ShowChoices();
}

QAction* TReadingMenu::Add(QMenu& menu, const char* name, const QString& text, const QKeySequence& key)
{
    auto* action = new QAction(text, &Window);
    action->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) {
        action->setShortcut(key);
        // Carried by the window itself, so the key works with the menu bar hidden.
        Window.addAction(action);
    }
    menu.addAction(action);
    return action;
}

template <typename Value, typename Member>
void TReadingMenu::AddChoice(const QString& title, const char* stepName, const QKeySequence& stepKey, Member member,
    const std::vector<std::pair<Value, QString>>& values)
{
    QMenu* menu = addMenu(title);
    for (const auto& [value, text] : values) {
        QAction* item = menu->addAction(text);
        item->setCheckable(true);
        checks_.emplace_back(item, [this, member, value] { return Style.Choices().*member == value; });
        connect(item, &QAction::triggered, this, [this, member, value] {
            TReadingChoices c = Style.Choices();
            c.*member = value;
            Style.SetChoices(c);
        });
    }
    menu->addSeparator();
    QString stepText = title;
    stepText.remove(QLatin1Char('&'));
    connect(
        Add(*menu, stepName, tr("Next %1").arg(stepText), stepKey), &QAction::triggered, this, [this, member, values] {
            TReadingChoices c = Style.Choices();
            const auto at
                = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == c.*member; });
            const std::size_t next
                = at == values.end() ? 0 : (static_cast<std::size_t>(at - values.begin()) + 1) % values.size();
            c.*member = values[next].first;
            Style.SetChoices(c);
        });
}

void TReadingMenu::StepTextSize(int step)
{
    TReadingChoices c = Style.Choices();
    const auto at = std::lower_bound(kTextSizes.begin(), kTextSizes.end(), c.textSize);
    auto index = static_cast<int>(at - kTextSizes.begin());
    // A size between two steps (from nowhere today) goes to the next step in the direction asked.
    if (step < 0 || at == kTextSizes.end() || *at == c.textSize)
        index += step;
    index = std::clamp(index, 0, static_cast<int>(kTextSizes.size()) - 1);
    c.textSize = kTextSizes[static_cast<std::size_t>(index)];
    Style.SetChoices(c);
}

void TReadingMenu::ShowChoices()
{
    for (const auto& [action, current] : checks_)
        action->setChecked(current());
}
