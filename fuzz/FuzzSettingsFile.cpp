// A book.json of arbitrary bytes, read in one pass: it must be refused with a message, or give
// what a whole-document parse of the same text gives: the same members but "contents", the same
// number of entries at the top of the contents, each entry titled and naming a page or holding
// entries, at most 64 levels deep.

#include "common/Exception.h"
#include "sources/SettingsFileReading.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void CheckEntries(const TContents& contents, std::size_t depth)
{
    if (depth > 64)
        std::abort();
    for (const TContentsEntry& entry : contents) {
        if (entry.page.empty() && entry.children.empty())
            std::abort();
        CheckEntries(entry.children, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const nlohmann::json whole = nlohmann::json::parse(text, nullptr, false);
    TSettingsFileText read;
    try {
        read = ReadSettingsFile("book.json", text);
    } catch (const Exception&) {
        return 0;
    }
    if (whole.is_discarded() || !whole.is_object())
        std::abort();
    nlohmann::json members = whole;
    members.erase("contents");
    if (members != read.members)
        std::abort();
    if (read.contents.has_value() != whole.contains("contents"))
        std::abort();
    if (read.contents) {
        if (!whole.at("contents").is_array() || whole.at("contents").size() != read.contents->size())
            std::abort();
        CheckEntries(*read.contents, 0);
    }
    return 0;
}
