#pragma once

#include "common/CommandLine.h"
#include "sources/BookSource.h"
#include "sources/FolderPreview.h"

#include <memory>
#include <ostream>
#include <string>

// How `serve` reads a folder beyond what the line's --exclude, --include-hidden and
// --follow-outside say.
struct TFolderServing {
    bool watch = false; // open HTML pages reload themselves after every change (--watch)
    bool insideOnly = false; // a file reached through a link that leads outside the folder is not served
    std::ostream& notes; // hears what the plan chose and left out, and the watch's findings
};

// The option of the commands that read a folder in place: follow its links that lead outside it.
inline constexpr OptionSpec kFollowOutsideOption { "--follow-outside", "", false };

// A command's BOOK operand, whatever its kind: the source, and for a watched folder its watch.
struct TSourceArgument {
    std::unique_ptr<TBookSource> source;
    std::unique_ptr<TFolderWatch> watch; // declared after the source it changes: it goes first
};

// Opens the operand as a source of its kind, told by content: a book file (or a program carrying
// one), an EPUB, a CHM, a ZIM archive or a folder of pages, read as the book built from it with
// the line's --exclude and --include-hidden would be (quietly, unless `serve` says how). Read in
// place (the default use), a folder's links that lead outside it are refused and named on
// standard error unless the line says --follow-outside; for a build's use they are followed
// unless it says --no-follow-outside. Raises Exception "Cannot open file NAME" with the reason; for a file of no kind
// the hint for a zip, else "Invalid eBook: NAME" with the kinds known on a line of their own; "Invalid eBook: NAME" for
// a book that does not load; whatever the kind's reader raises. Raises EUsageError when the line has a folder's options
// and the operand is no folder.
TSourceArgument OpenSourceArgument(const std::string& path, const CommandLine& line, EFolderUse use = EFolderUse::Read);
TSourceArgument OpenSourceArgument(const std::string& path, const CommandLine& line, const TFolderServing& serving);

// Raises the hint that says how to make a book of the file (a zip that is no EPUB) when there is one.
void RaiseNotABookHint(const std::string& fileName);
