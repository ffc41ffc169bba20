#include "tools/packtool/BookArgument.h"

#include "book/OpenedBook.h"
#include "common/Exception.h"
#include "sources/OpenSource.h"
#include "sources/SourceKind.h"

#include <filesystem>
#include <iostream>

namespace {

bool HasFolderOptions(const CommandLine& line)
{
    return line.Has("--exclude") || line.Has("--include-hidden") || line.Has("--no-follow-outside")
        || line.Has("--follow-outside") || line.Has("--watch");
}

TSourceArgument Open(const std::string& path, const CommandLine& line, const TFolderServing* serving, EFolderUse use)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        OpenBookStream(path); // raises "Cannot open file NAME" with the system's reason
    const std::optional<ESourceKind> kind = DetectSourceKind(path);
    if (!kind) {
        RaiseNotABookHint(path);
        throw Exception("Invalid eBook: " + path + "\nIt is none of " + std::string(kKnownSourceKinds) + ".");
    }
    TSourceArgument opened;
    if (*kind != ESourceKind::Folder) {
        if (HasFolderOptions(line))
            throw EUsageError("--exclude, --include-hidden, --follow-outside, --no-follow-outside and --watch apply to "
                              "a folder, not to "
                + path);
        opened.source = OpenBookSource(path, *kind);
        return opened;
    }
    std::ostream quiet(nullptr);
    std::ostream& notes = serving != nullptr ? serving->notes : quiet;
    // Quiet commands still name the links they refuse.
    const FolderOpening opening { use, serving != nullptr ? nullptr : &std::cerr };
    auto pages
        = std::make_unique<TFolderPages>(path, line, serving != nullptr && serving->watch, notes, notes, opening);
    if (serving != nullptr && serving->insideOnly)
        pages->ServeOutsideFiles(false);
    if (serving != nullptr && serving->watch)
        opened.watch = std::make_unique<TFolderWatch>(*pages, serving->notes);
    opened.source = std::move(pages);
    return opened;
}

} // namespace

TSourceArgument OpenSourceArgument(const std::string& path, const CommandLine& line, EFolderUse use)
{
    return Open(path, line, nullptr, use);
}

TSourceArgument OpenSourceArgument(const std::string& path, const CommandLine& line, const TFolderServing& serving)
{
    return Open(path, line, &serving, EFolderUse::Read);
}

void RaiseNotABookHint(const std::string& fileName)
{
    if (auto hint = NotABookHint(fileName))
        throw Exception(*hint);
}
