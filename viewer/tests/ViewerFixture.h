#pragma once

#include "book/BookWriter.h"
#include "viewer/BookMain.h"

#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

// A book written into a fresh temporary folder, removed at scope exit.
class TTestBook {
public:
    TTestBook();
    ~TTestBook();
    TTestBook(const TTestBook&) = delete;
    TTestBook& operator=(const TTestBook&) = delete;

    TBookWriter writer;
    // Writes the book and gives its file name.
    std::string Save();
    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

// Waits for the condition while the event loop runs; false when it does not hold in time.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(20));

// The viewer's main window on a book, shown, with helpers to drive its browser.
class TViewerWindow {
public:
    explicit TViewerWindow(const std::string& bookFile);
    ~TViewerWindow();

    TBookMainForm& Form() { return *form_; }
    // Shows the window and waits until the home page has loaded.
    void ShowAndWaitForHome();
    // Waits until a load ends and gives whether it succeeded.
    bool WaitForLoad();
    // Whether a load ends within the time (for checking that nothing loads).
    bool WaitForLoadWithin(std::chrono::milliseconds limit);
    // Runs script in the page and gives its result as text.
    QString RunScript(const QString& script);
    // Follows the link with this id in the page, as a click would, and waits for the load.
    bool FollowLink(const QString& id);
    // The caption of the window and the program's title.
    QString Caption() const;
    // The page's text as the engine shows it.
    QString PageText();

private:
    std::unique_ptr<TBookMainForm> form_;
    int loadsFinished_ = 0;
    int loadsWaitedFor_ = 0;
    bool lastLoadOk_ = false;
};
