#pragma once

#include "sources/Contents.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

// A book.json read in one pass: its "contents" built straight into entries as the text is read
// (a document tree of a million entries would cost ten times the text), every other member kept
// as its JSON value.
struct TSettingsFileText {
    nlohmann::json members = nlohmann::json::object(); // all but "contents"
    std::optional<TContents> contents; // when the file has "contents"
};

// The text of fileName, or an Exception naming the file: not valid JSON, not one object, or
// contents not of the form {"title": TEXT, "page": "PAGE[#ANCHOR]", "children": [...]} (each entry
// naming a page or holding entries, at most 64 levels deep).
TSettingsFileText ReadSettingsFile(const std::string& fileName, std::string_view text);
