#pragma once

#include "book/BookWriter.h"
#include "common/CommandLine.h"
#include "sources/Contents.h"

#include <optional>
#include <string>
#include <vector>

// What `build` puts into the header: defaults, then book.json, then command-line options, each
// later source overriding single settings. Texts are already in the container's encoding (BookText.h).
struct BuildSettings {
    BookHeaderSettings header;
    std::optional<std::string> home; // a page name; without one the build chooses (HomePage.h)
    bool titleSet = false; // an empty title set on purpose stays empty
    std::vector<std::string> excludes; // glob patterns of files to leave out (SourceTree.h)
    // The author's contents from "contents": pages named from the folder's top, as written; the
    // build checks them against the pages.
    std::optional<TContents> contents;
    bool contentsOpen = false; // the viewer shows the contents panel at start
};

// Window geometry the viewer can show: a size beyond this is refused rather than handed to a
// browser engine that crashes on huge windows.
inline constexpr int32_t kMaxWindowExtent = 16384;

// The window of a source that carries no design (TBookSource::DefaultDisplay), so that a book
// built without settings opens as its folder or EPUB read in place does.
BuildSettings DefaultBuildSettings();

// The command-line options that override book.json settings.
const std::vector<OptionSpec>& SettingOptions();

// Applies book.json. Raises Exception naming the file for bad JSON, an unknown key, a value of
// the wrong type or out of range, or an unknown mode name.
void ApplySettingsFile(const std::string& fileName, BuildSettings& settings);

// Applies the setting options present on the command line; raises EUsageError for bad values.
void ApplySettingOptions(const CommandLine& line, BuildSettings& settings);
