#pragma once

#include "sources/Contents.h"

#include <cstddef>
#include <string_view>

// The bounds a sitemap's reading keeps whatever its bytes: nesting deeper than kMaxSitemapDepth
// is read as one level, and entries past kMaxSitemapEntries are left out.
inline constexpr std::size_t kMaxSitemapDepth = 64;
inline constexpr std::size_t kMaxSitemapEntries = 200000;

// Reads an HTML Help sitemap (a .hhc contents file or a .hhk keyword index): nested <UL> lists
// whose <LI> items hold an <OBJECT type="text/sitemap"> with <param name="Name" value="..."> and
// <param name="Local" value="page.htm#anchor">. Pages become page names ("/" first, relative to
// the archive's top, "./" and ".." steps resolved, never above the top); names are UTF-8 (bytes
// that are not UTF-8 are read as Windows-1252), character references decoded. An entry without a
// name is left out; its children move up. Never raises.
TContents ReadHelpSitemap(std::string_view bytes);
