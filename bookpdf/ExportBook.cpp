#include "bookpdf/ExportBook.h"

#include "book/BookReader.h"
#include "common/BookText.h"
#include "common/Exception.h"
#include "html/PageKind.h"
#include "sources/BookFileSource.h"
#include "sources/OpenSource.h"
#include "sources/ZimSource.h"

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

} // namespace

TExportBook::TExportBook(const std::string& path)
{
    kind_ = DetectSourceKind(path).value_or(ESourceKind::Book);
    if (kind_ == ESourceKind::Book) {
        server_ = std::make_unique<TPageServer>(path, TPageServerLimits {});
        valid_ = server_->Reader().IsValid();
        fileSource_ = std::make_unique<TBookFileSource>(server_->Reader());
        source_ = fileSource_.get();
        const TStringList& pages = server_->Reader().Pages();
        for (int i = 0; i < pages.Count(); ++i)
            names_.push_back(pages[i]);
        return;
    }
    owned_ = OpenBookSource(path, kind_);
    if (kind_ == ESourceKind::Zim) {
        // Asked before the entries are listed: an encyclopedia's list alone takes minutes.
        const uint64_t articles = static_cast<const TZimSource&>(*owned_).ArticleCount();
        if (articles > kMaxZimPages)
            throw Exception(path + " holds " + std::to_string(articles) + " articles; a whole-book PDF is made of a "
                + "ZIM archive of at most " + std::to_string(kMaxZimPages) + " (print single pages from the viewer)");
    }
    server_ = std::make_unique<TPageServer>(*owned_, TPageServerLimits {});
    source_ = owned_.get();
    valid_ = true;
    names_ = owned_->PageNames();
    for (std::size_t i = 0; i < names_.size(); ++i) {
        exact_.emplace(names_[i], int(i));
        folded_.emplace(FoldedBookText(names_[i]), int(i));
    }
}

TExportBook::~TExportBook()
{
    // Requests waiting for room give up before the listener closes their connections.
    if (server_)
        server_->Stop();
}

int TExportBook::IndexOf(std::string_view name) const
{
    if (kind_ == ESourceKind::Book)
        return server_->Reader().IndexOfPage(name);
    if (const auto found = exact_.find(std::string(name)); found != exact_.end())
        return found->second;
    const auto found = folded_.find(FoldedBookText(name));
    return found == folded_.end() ? -1 : found->second;
}

bool TExportBook::IsMarkup(int index)
{
    const std::string& name = names_[std::size_t(index)];
    if (IsMarkupPage(name))
        return true;
    if (kind_ == ESourceKind::Book || HasExtension(name))
        return false;
    const auto known = sniffed_.find(index);
    if (known != sniffed_.end())
        return known->second;
    const TPageLookup page = source_->Lookup(name);
    const bool markup = page.bytes && LooksLikeMarkup(*page.bytes);
    sniffed_.emplace(index, markup);
    return markup;
}

bool TExportBook::CanRead(int index)
{
    if (kind_ == ESourceKind::Book) {
        std::string content;
        return server_->Reader().ExtractPageAtConcurrently(index, content);
    }
    return source_->Lookup(names_[std::size_t(index)]).bytes != nullptr;
}
