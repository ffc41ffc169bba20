#pragma once

// The viewer's own texts, in one place. Shown to readers as they stand.
// (The page server's 404 text lives with the page service, which ebook-pack shares.)

inline constexpr const char* kApplicationTitle = "eBook";
inline constexpr const char* kInvalidEBook = "Invalid eBook";
inline constexpr const char* kUntitledEBook = "Untitled eBook";
// Formatted with the book's title.
inline constexpr const char* kAboutThisBook = "About this book: %1";
// Standard error, when the engine must run without its sandbox.
inline constexpr const char* kRunningAsRootNote
    = "ebook: running as root, so the browser engine runs without its sandbox";
