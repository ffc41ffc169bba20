#pragma once

#include <QMenu>

#include <functional>
#include <utility>
#include <vector>

class TReadingStyle;

// The Reading menu: font family, text size, line spacing, margins, page width and theme. Its
// actions are the window's too, so their keys work with the menu bar hidden or detached, and the
// page's context menu offers the same menu where the book allows one. The menu shows the choices
// as they stand, whichever way they were made.
class TReadingMenu : public QMenu {
    Q_OBJECT
public:
    // darkMode: the dark reading mode's own action (Ctrl+Shift+D), the menu's Dark theme.
    TReadingMenu(QWidget& window, TReadingStyle& style, QAction* darkMode);

private:
    QAction* Add(QMenu& menu, const char* name, const QString& text, const QKeySequence& key = {});
    // A submenu of one choice among values: radio items, and a key that steps to the next.
    template <typename Value, typename Member>
    void AddChoice(const QString& title, const char* stepName, const QKeySequence& stepKey, Member member,
        const std::vector<std::pair<Value, QString>>& values);
    void StepTextSize(int step);
    void ShowChoices();

    QWidget& Window;
    TReadingStyle& Style;
    // Each radio item and whether it stands for the current choices.
    std::vector<std::pair<QAction*, std::function<bool()>>> checks_;
};
