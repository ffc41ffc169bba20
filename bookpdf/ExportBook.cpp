#include "bookpdf/ExportBook.h"

#include "common/Exception.h"
#include "html/PageKind.h"

#include <algorithm>
#include <cctype>

namespace {

// Whether the first bytes of a page read as an HTML document.
bool LooksLikeMarkup(const std::string& bytes)
{
    std::string start = bytes.substr(0, 1024);
    std::transform(start.begin(), start.end(), start.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return start.find("<html") != std::string::npos || start.find("<!doctype html") != std::string::npos;
}

bool HasExtension(std::string_view name)
{
    const std::size_t slash = name.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    return last.find('.') != std::string_view::npos;
}

// A name below a hidden folder: a book's own entries (its stored index's chunks) are no pages,
// whatever their first bytes hold.
bool UnderHiddenFolder(std::string_view name)
{
    return name.find("/.") != std::string_view::npos;
}

} // namespace

TExportBook::TExportBook(TBookSource& source, const std::string& bookName)
    : source_(source)
{
    // Asked before the entries are listed: an encyclopedia's list alone takes minutes.
    if (const auto articles = source_.CountedArticles(); articles && *articles > kMaxZimPages)
        throw Exception(bookName + " holds " + std::to_string(*articles) + " articles; a whole-book PDF is made of a "
            + "ZIM archive of at most " + std::to_string(kMaxZimPages) + " (print single pages from the viewer)");
    server_ = std::make_unique<TPageServer>(source_, TPageServerLimits {});
    names_ = source_.PageNames();
    if (!names_.empty() && !source_.PageIndexOf(names_.front())) {
        for (std::size_t i = 0; i < names_.size(); ++i)
            exact_.emplace(names_[i], int(i));
    }
}

TExportBook::~TExportBook()
{
    // Requests waiting for room give up before the listener closes their connections.
    server_->Stop();
}

int TExportBook::IndexOf(std::string_view name) const
{
    if (const std::optional<int> index = source_.PageIndexOf(name))
        return *index;
    const auto found = exact_.find(std::string(name));
    return found == exact_.end() ? -1 : found->second;
}

bool TExportBook::IsMarkup(int index)
{
    const std::string& name = names_[std::size_t(index)];
    if (IsMarkupPage(name))
        return true;
    if (HasExtension(name) || UnderHiddenFolder(name))
        return false;
    const auto known = sniffed_.find(index);
    if (known != sniffed_.end())
        return known->second;
    const TPageLookup page = source_.Lookup(name);
    const bool markup = page.bytes && LooksLikeMarkup(*page.bytes);
    sniffed_.emplace(index, markup);
    return markup;
}

bool TExportBook::CanRead(int index)
{
    return source_.Lookup(names_[std::size_t(index)]).bytes != nullptr;
}
