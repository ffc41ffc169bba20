#include "sources/HelpSitemap.h"

#include "common/BookText.h"
#include "html/CharacterReferences.h"
#include "html/MarkupTokenizer.h"

#include <optional>
#include <string>
#include <vector>

namespace {

// A sitemap's names are UTF-8 where they are valid UTF-8, else Windows-1252.
std::string SitemapText(std::string_view value)
{
    return DecodeAttributeValue(BookTextToUtf8(value));
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
        MarkupTokenizer tokens(bytes);
        MarkupToken token;
        while (tokens.Next(token)) {
            if (token.kind == MarkupTokenKind::StartTag)
                Start(token);
            else if (token.kind == MarkupTokenKind::EndTag)
                End(token.name);
        }
        return std::move(contents_);
    }

private:
    void Start(const MarkupToken& tag)
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
        } else if (tag.name == "object") {
            inObject_ = true;
            name_.reset();
            keyword_.reset();
            local_.reset();
        } else if (tag.name == "param" && inObject_) {
            const MarkupAttribute* name = tag.Attribute("name");
            const MarkupAttribute* value = tag.Attribute("value");
            if (!name || !value)
                return;
            // A keyword with several pages names each; the first is where the entry leads.
            if (EqualsLowerCase(name->value, "name") && !name_)
                name_ = SitemapText(value->value);
            else if (EqualsLowerCase(name->value, "keyword") && !keyword_)
                keyword_ = SitemapText(value->value);
            else if (EqualsLowerCase(name->value, "local") && !local_)
                local_ = std::string(value->value); // a file's path, taken as written
        }
    }

    void End(std::string_view name)
    {
        if (name == "ul") {
            if (!pushed_.empty()) {
                if (pushed_.back())
                    levels_.pop_back();
                pushed_.pop_back();
            }
        } else if (name == "object" && inObject_) {
            inObject_ = false;
            // Sphinx's HTML Help writer names a keyword index's entries by "Keyword" alone.
            if (!name_)
                name_ = std::move(keyword_);
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
    std::optional<std::string> keyword_;
    std::optional<std::string> local_;
    std::size_t count_ = 0;
};

} // namespace

TContents ReadHelpSitemap(std::string_view bytes)
{
    return SitemapReader().Read(bytes);
}
