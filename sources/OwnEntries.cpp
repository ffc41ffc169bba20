#include "sources/OwnEntries.h"

#include "common/AnsiText.h"

#include <array>

bool IsBookOwnEntry(std::string_view name)
{
    static constexpr std::array<std::string_view, 2> kOwnFolders { "/.ebook-", "/.search-index/" };
    for (const std::string_view folder : kOwnFolders) {
        if (name.size() >= folder.size() && LowerCaseAscii(name.substr(0, folder.size())) == folder)
            return true;
    }
    return false;
}
