#pragma once

#include "sources/Contents.h"

#include <string>

// The tree as "title>page#anchor" lines, indented two blanks a level: one string to compare.
std::string Outline(const TContents& contents, int level = 0);
