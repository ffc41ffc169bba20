// A CHM or ZIM file of arbitrary bytes opened as the viewer opens it (the first byte picks which),
// every page read, the contents and home page asked for: what this project adds around chmlib and
// libzim (the layout and size checks, redirect chains, sitemaps) must turn damage into Exception,
// never a crash inside either library, and never answer more bytes than a page may hold.

#include "book/BookFormat.h"
#include "common/Exception.h"
#include "sources/ChmSource.h"
#include "sources/ZimSource.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchFile()
{
    return "/tmp/ebook-fuzz-archive-" + std::to_string(::getpid());
}

void ReadAll(TBookSource& source)
{
    for (const std::string& name : source.PageNames()) {
        const TPageLookup page = source.Lookup(name);
        if (page.bytes && page.bytes->size() > static_cast<std::size_t>(kMaxPageSize))
            std::abort();
    }
    source.Lookup(source.HomePageName());
    source.Contents();
    source.Title();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string file = ScratchFile();
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    try {
        if (data[0] % 2 == 0) {
            TChmSource chm(file);
            ReadAll(chm);
        } else {
            TZimSource zim(file);
            ReadAll(zim);
        }
    } catch (const Exception&) {
        // A refusal with a message is the answer for damage.
    }
    return 0;
}
