#include "tools/library/OpdsCatalog.h"

#include "common/StableHash.h"
#include "tools/library/CatalogText.h"
#include "tools/library/LibraryRouter.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// A version 8 (custom) UUID from two 64-bit hashes of the text: the same text, the same UUID.
std::string UuidOf(std::string_view text)
{
    uint64_t high = StableHash64(text);
    uint64_t low = StableHash64(text, StableHash64("library book"));
    high = (high & ~0xF000ULL) | 0x8000ULL; // version 8
    low = (low & ~(3ULL << 62)) | (2ULL << 62); // variant 10
    char text36[40] = {};
    std::snprintf(text36, sizeof text36, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(high >> 32),
        static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFFF),
        static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text36;
}

bool IsUuid(std::string_view text)
{
    if (text.size() != 36)
        return false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const bool dash = at == 8 || at == 13 || at == 18 || at == 23;
        if (dash ? text[at] != '-' : std::isxdigit(static_cast<unsigned char>(text[at])) == 0)
            return false;
    }
    return true;
}

std::string Link(std::string_view rel, const std::string& href, std::string_view type, std::string_view extra = {})
{
    return "<link rel=\"" + std::string(rel) + "\" href=\"" + EscapeXml(href) + "\" type=\"" + EscapeXml(type) + "\""
        + std::string(extra) + "/>\n";
}

std::string Entry(const TLibraryBook& book, std::string_view urlRoot, const std::string& iconType)
{
    const std::string root(urlRoot);
    std::string entry = "<entry>\n<title>" + EscapeXml(book.title) + "</title>\n<id>" + EscapeXml(OpdsBookId(book))
        + "</id>\n<updated>" + Rfc3339(book.modified) + "</updated>\n";
    if (!book.description.empty())
        entry += "<summary>" + EscapeXml(book.description) + "</summary>\n";
    if (!book.language.empty())
        entry += "<dc:language>" + EscapeXml(book.language) + "</dc:language>\n";
    std::vector<std::string> authors;
    if (book.source) {
        try {
            authors = book.source->Authors();
        } catch (const std::exception&) {
            // Metadata that cannot be read names no one.
        }
    }
    for (const std::string& author : authors)
        entry += "<author><name>" + EscapeXml(author) + "</name></author>\n";
    const std::string icon = root + "/.icon/" + book.name;
    entry += Link("http://opds-spec.org/image", icon, iconType);
    entry += Link("http://opds-spec.org/image/thumbnail", icon, iconType);
    entry += Link("alternate", root + "/" + book.name + "/", "text/html", " title=\"Read online\"");
    entry += Link("http://opds-spec.org/acquisition/open-access", root + "/.download/" + book.name, DownloadType(book),
        book.fileSize > 0 ? " length=\"" + std::to_string(book.fileSize) + "\"" : "");
    return entry + "</entry>\n";
}

} // namespace

std::string OpdsBookId(const TLibraryBook& book)
{
    std::string own;
    if (book.source) {
        try {
            own = book.source->Identifier();
        } catch (const std::exception&) {
            // Made from the name below.
        }
    }
    if (IsUuid(own))
        return "urn:uuid:" + own;
    return "urn:uuid:" + UuidOf(book.name);
}

std::string OpdsFeed(const TLibraryShelf& shelf, std::string_view urlRoot, const TOpdsFilter& filter,
    const std::function<std::string(const TLibraryBook&)>& iconType)
{
    const std::string root(urlRoot);
    std::string self = root + "/.opds";
    std::string separator = "?";
    if (!filter.words.empty()) {
        self += separator + "q=" + EscapeQueryValue(filter.words);
        separator = "&";
    }
    if (!filter.language.empty())
        self += separator + "lang=" + EscapeQueryValue(filter.language);

    std::string entries;
    int64_t updated = 0;
    for (const std::shared_ptr<const TLibraryBook>& book : shelf) {
        // Every entry of an acquisition feed can be acquired: a folder, which is not downloaded,
        // is read on the library page only.
        if (DownloadType(*book).empty())
            continue;
        if (!IsLanguage(book->language, filter.language)
            || !HoldsEveryWord(book->title + " " + book->description, filter.words))
            continue;
        updated = std::max(updated, book->modified);
        entries += Entry(*book, urlRoot, iconType(*book));
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:dc=\"http://purl.org/dc/terms/\" "
           "xmlns:opds=\"http://opds-spec.org/2010/catalog\">\n<id>urn:uuid:"
        + UuidOf("library" + self) + "</id>\n<title>Library</title>\n<updated>" + Rfc3339(updated)
        + "</updated>\n<author><name>ebook-pack</name></author>\n" + Link("self", self, kOpdsType)
        + Link("start", root + "/.opds", kOpdsType) + Link("search", root + "/.opensearch.xml", kOpenSearchType)
        + Link("alternate", root + "/", "text/html") + entries + "</feed>\n";
}

std::string OpenSearchDescription(std::string_view urlRoot)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
           "<ShortName>Library</ShortName>\n<Description>Search the books of this library</Description>\n"
           "<InputEncoding>UTF-8</InputEncoding>\n<OutputEncoding>UTF-8</OutputEncoding>\n"
           "<Url type=\""
        + std::string(kOpdsType) + "\" template=\"" + EscapeXml(urlRoot) + "/.opds?q={searchTerms}\"/>\n"
        + "<Url type=\"text/html\" template=\"" + EscapeXml(urlRoot) + "/.search?q={searchTerms}\"/>\n"
        + "</OpenSearchDescription>\n";
}
