// What this project reads of a CHM itself, on arbitrary bytes: the first byte picks the system
// file's records or a sitemap (.hhc/.hhk). The reading must stay within the bytes and its bounds:
// sitemap nesting within kMaxSitemapDepth, every page name below the archive's top, every title
// well-formed UTF-8.

#include "common/Utf8.h"
#include "sources/ChmSystem.h"
#include "sources/HelpSitemap.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

std::size_t CheckEntries(const TContents& contents, std::size_t depth)
{
    if (depth > kMaxSitemapDepth)
        std::abort();
    std::size_t count = contents.size();
    for (const TContentsEntry& entry : contents) {
        if (!IsValidUtf8(entry.title) || entry.title.empty())
            std::abort();
        if (!entry.page.empty() && (!entry.page.starts_with('/') || entry.page.find("/../") != std::string::npos))
            std::abort();
        count += CheckEntries(entry.children, depth + 1);
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] % 2 == 0) {
        const ChmSystem system = ReadChmSystem(bytes);
        for (const std::string* text : { &system.title, &system.homePage, &system.contentsFile, &system.indexFile }) {
            if (text->size() > bytes.size())
                std::abort();
        }
        LanguageOfLocale(system.localeId);
    } else if (CheckEntries(ReadHelpSitemap(bytes), 1) > kMaxSitemapEntries) {
        std::abort();
    }
    return 0;
}
