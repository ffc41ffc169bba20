#pragma once

#include "common/StringList.h"

#include <cstdint>
#include <string>

// The viewer's own back/forward list: the addresses of visited documents, oldest first, none
// twice (letter case ignored), and the position of the current one (-1 before the first).
//
// Records a navigation to url: an address already listed only moves the position there, keeping
// every entry; a new one first drops the entries after the position, then is appended.
void RecordNavigation(TStringList& history, int32_t& historyIndex, const std::string& url);

// Whether Back and Forward lead somewhere.
bool CanGoBack(const TStringList& history, int32_t historyIndex);
bool CanGoForward(const TStringList& history, int32_t historyIndex);
