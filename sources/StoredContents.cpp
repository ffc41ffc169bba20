#include "sources/StoredContents.h"

#include <nlohmann/json.hpp>

namespace {

constexpr std::size_t kMaxEntries = 100000;
constexpr std::size_t kMaxDepth = 64;

nlohmann::json TreeJson(const TContents& contents)
{
    nlohmann::json list = nlohmann::json::array();
    for (const TContentsEntry& entry : contents) {
        nlohmann::json item = { { "title", entry.title }, { "page", entry.page } };
        if (!entry.anchor.empty())
            item["anchor"] = entry.anchor;
        item["children"] = TreeJson(entry.children);
        list.push_back(std::move(item));
    }
    return list;
}

std::string TextOf(const nlohmann::json& item, const char* key)
{
    const auto found = item.find(key);
    return found != item.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// False when the form is wrong; entries past the bounds are dropped without failing.
bool ReadTree(const nlohmann::json& list, std::size_t depth, std::size_t& count, TContents& into)
{
    if (!list.is_array())
        return false;
    for (const auto& item : list) {
        if (!item.is_object())
            return false;
        if (count >= kMaxEntries || depth >= kMaxDepth)
            continue;
        ++count;
        TContentsEntry entry { TextOf(item, "title"), TextOf(item, "page"), TextOf(item, "anchor"), {} };
        if (const auto children = item.find("children"); children != item.end())
            if (!ReadTree(*children, depth + 1, count, entry.children))
                return false;
        into.push_back(std::move(entry));
    }
    return true;
}

} // namespace

std::string StoredContentsJson(const TStoredContents& stored)
{
    const nlohmann::json json = { { "open", stored.openAtStart }, { "contents", TreeJson(stored.entries) } };
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<TStoredContents> ParseStoredContents(std::string_view text)
{
    // Nesting deeper than any contents is refused before it is built.
    const auto json = nlohmann::json::parse(
        text,
        [](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
            return depth <= static_cast<int>(kMaxDepth * 2 + 4);
        },
        false);
    if (!json.is_object())
        return std::nullopt;
    TStoredContents stored;
    const auto open = json.find("open");
    stored.openAtStart = open != json.end() && open->is_boolean() && open->get<bool>();
    const auto contents = json.find("contents");
    std::size_t count = 0;
    if (contents == json.end() || !ReadTree(*contents, 0, count, stored.entries))
        return std::nullopt;
    return stored;
}

std::string ContentsTreeJson(const TContents& contents, int indent)
{
    return TreeJson(contents).dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}
