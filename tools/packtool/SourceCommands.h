#pragma once

#include "sources/SourceKind.h"
#include "tools/packtool/PackCommand.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The commands' answers for a book read in place (an EPUB, CHM, ZIM or folder); book files keep
// their own, which show the container's fields.

// The operand's kind when it is no book file; nothing for a book file. Raises Exception "Invalid
// eBook: NAME", and on a line of its own the kinds known, for a file of none of them.
std::optional<ESourceKind> OtherSourceKind(const std::string& path);

int InfoOfSource(const std::string& path, ESourceKind kind, bool json, ToolContext& context);
// `pages` empty: every page.
int ListSource(
    const std::string& path, ESourceKind kind, const std::vector<std::string>& pages, bool json, ToolContext& context);
int ExtractSource(const std::string& path, ESourceKind kind, const std::string& folder,
    const std::vector<std::string>& pages, ToolContext& context);
int VerifySource(const std::string& path, ESourceKind kind, ToolContext& context);
