#include "sources/HelpSitemap.h"

#include "common/AnsiText.h"
#include "common/BookText.h"
#include "html/CharacterReferences.h"

#include <optional>
#include <string>
#include <vector>

namespace {

struct Tag {
    std::string name; // lower case, "/" first for an end tag
    std::string attributes; // as written
};

// The tag that starts at bytes[at] ('<'); `at` moves past it. Comments are skipped whole.
std::optional<Tag> ReadTag(std::string_view bytes, std::size_t& at)
{
    if (bytes.substr(at, 4) == "<!--") {
        const std::size_t end = bytes.find("-->", at + 4);
        at = end == std::string_view::npos ? bytes.size() : end + 3;
        return std::nullopt;
    }
    const std::size_t end = bytes.find('>', at);
    const std::string_view inside = bytes.substr(at + 1, (end == std::string_view::npos ? bytes.size() : end) - at - 1);
    at = end == std::string_view::npos ? bytes.size() : end + 1;
    std::size_t nameEnd = 0;
    while (nameEnd < inside.size() && inside[nameEnd] != ' ' && inside[nameEnd] != '\t' && inside[nameEnd] != '\n'
        && inside[nameEnd] != '\r' && inside[nameEnd] != '/')
        ++nameEnd;
    if (nameEnd == 0 && !inside.empty() && inside[0] == '/') {
        nameEnd = 1;
        while (nameEnd < inside.size() && inside[nameEnd] != ' ' && inside[nameEnd] != '>')
            ++nameEnd;
    }
    return Tag { LowerCaseAscii(inside.substr(0, nameEnd)), std::string(inside.substr(nameEnd)) };
}

// The value of the attribute, quoted or not; nothing when the tag has none.
std::optional<std::string> Attribute(const std::string& attributes, std::string_view name)
{
    const std::string lower = LowerCaseAscii(attributes);
    std::size_t at = 0;
    while ((at = lower.find(name, at)) != std::string::npos) {
        const bool startsWord = at == 0 || lower[at - 1] == ' ' || lower[at - 1] == '\t' || lower[at - 1] == '\n'
            || lower[at - 1] == '\r';
        std::size_t after = at + name.size();
        while (after < lower.size() && lower[after] == ' ')
            ++after;
        if (!startsWord || after >= lower.size() || lower[after] != '=') {
            at += name.size();
            continue;
        }
        ++after;
        while (after < lower.size() && lower[after] == ' ')
            ++after;
        if (after < lower.size() && (lower[after] == '"' || lower[after] == '\'')) {
            const std::size_t close = lower.find(lower[after], after + 1);
            const std::size_t end = close == std::string::npos ? lower.size() : close;
            return attributes.substr(after + 1, end - after - 1);
        }
        std::size_t end = after;
        while (end < lower.size() && lower[end] != ' ' && lower[end] != '\t' && lower[end] != '\n')
            ++end;
        return attributes.substr(after, end - after);
    }
    return std::nullopt;
}

std::string SitemapText(const std::string& value)
{
    return DecodeCharacterReferences(BookTextToUtf8(value));
}

// "/folder/page.htm" for "folder/./page.htm"; steps above the top stay at the top.
std::string PageNameOfLocal(std::string local)
{
    if (const std::size_t scheme = local.find("::"); scheme != std::string::npos)
        local = local.substr(scheme + 2); // "file.chm::/page.htm" names a page of this archive
    for (char& c : local) {
        if (c == '\\')
            c = '/';
    }
    std::vector<std::string> steps;
    std::size_t start = 0;
    while (start <= local.size()) {
        std::size_t end = local.find('/', start);
        if (end == std::string::npos)
            end = local.size();
        const std::string step = local.substr(start, end - start);
        if (step == "..") {
            if (!steps.empty())
                steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        start = end + 1;
    }
    std::string name;
    for (const std::string& step : steps)
        name += "/" + step;
    return name.empty() ? "/" : name;
}

class SitemapReader {
public:
    TContents Read(std::string_view bytes)
    {
        levels_.push_back(&contents_);
        std::size_t at = 0;
        while ((at = bytes.find('<', at)) != std::string_view::npos) {
            const std::optional<Tag> tag = ReadTag(bytes, at);
            if (tag)
                Take(*tag);
        }
        return std::move(contents_);
    }

private:
    void Take(const Tag& tag)
    {
        if (tag.name == "ul") {
            // A list opens below the entry before it; a list with no entry before it, or past the
            // depth bound, stays on the level it is on.
            TContents& level = *levels_.back();
            if (!level.empty() && levels_.size() < kMaxSitemapDepth) {
                levels_.push_back(&level.back().children);
                pushed_.push_back(true);
            } else {
                pushed_.push_back(false);
            }
        } else if (tag.name == "/ul") {
            if (!pushed_.empty()) {
                if (pushed_.back())
                    levels_.pop_back();
                pushed_.pop_back();
            }
        } else if (tag.name == "object") {
            inObject_ = true;
            name_.reset();
            local_.reset();
        } else if (tag.name == "param" && inObject_) {
            const auto name = Attribute(tag.attributes, "name");
            const auto value = Attribute(tag.attributes, "value");
            if (!name || !value)
                return;
            const std::string key = LowerCaseAscii(*name);
            // A keyword with several pages names each; the first is where the entry leads.
            if (key == "name" && !name_)
                name_ = SitemapText(*value);
            else if (key == "local" && !local_)
                local_ = *value;
        } else if (tag.name == "/object" && inObject_) {
            inObject_ = false;
            if (!name_ || name_->empty() || count_ >= kMaxSitemapEntries)
                return;
            ++count_;
            TContentsEntry entry;
            entry.title = *name_;
            if (local_ && !local_->empty()) {
                std::string local = *local_;
                if (const std::size_t hash = local.find('#'); hash != std::string::npos) {
                    entry.anchor = local.substr(hash + 1);
                    local.resize(hash);
                }
                entry.page = StoredBookText(PageNameOfLocal(local));
            }
            levels_.back()->push_back(std::move(entry));
        }
    }

    TContents contents_;
    // The list entries go into now, with every list above it; pointers stay valid because a level
    // only grows while it is the innermost.
    std::vector<TContents*> levels_;
    // For each open <UL>: whether it opened a level.
    std::vector<bool> pushed_;
    bool inObject_ = false;
    std::optional<std::string> name_;
    std::optional<std::string> local_;
    std::size_t count_ = 0;
};

} // namespace

TContents ReadHelpSitemap(std::string_view bytes)
{
    return SitemapReader().Read(bytes);
}
