#pragma once

#include "BookWriter.h"
#include "CommandLine.h"

#include <optional>
#include <string>
#include <vector>

// What `build` puts into the header: defaults, then book.json, then command-line options, each
// later source overriding single settings. Texts are already in the container's encoding (BookText.h).
struct BuildSettings {
    BookHeaderSettings header;
    std::optional<std::string> home; // a page name; without one the first page is the home page
};

// A readable window in the middle of the desktop, with every command offered.
BuildSettings DefaultBuildSettings();

// The command-line options that override book.json settings.
const std::vector<OptionSpec>& SettingOptions();

// Applies book.json. Raises Exception naming the file for bad JSON, an unknown key, a value of
// the wrong type or an unknown mode name.
void ApplySettingsFile(const std::string& fileName, BuildSettings& settings);

// Applies the setting options present on the command line; raises EUsageError for bad values.
void ApplySettingOptions(const CommandLine& line, BuildSettings& settings);
