#pragma once

#include "common/PackedStringList.h"

#include <string>
#include <string_view>

// Turns a header block as read (lines each ending in lineEnd, the last one empty) into Name=Value
// entries, in the block's own storage: in each line the first ": " becomes "="; a line that begins
// with a blank or TAB continues the entry before it, with its TABs made blanks, trimmed, and joined
// on with one blank. The block is taken over by `headers`. A block whose first line is a
// continuation raises EListError "List index out of bounds (-1)", with `headers` holding the lines
// as they were read.
void ParseHeaderBlock(std::string& block, std::string_view lineEnd, TPackedStringList& headers);
