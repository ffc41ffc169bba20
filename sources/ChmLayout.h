#pragma once

#include <cstdint>
#include <string>

// What chmlib will trust in a CHM file, checked against the file before chmlib is given it.
// chmlib reads the directory, the reset table and the LZX control data without checking them
// against each other or the file: a block size becomes a stack array, a name length a copy into a
// fixed buffer, a reset table entry the length of a read into a fixed buffer, a chain of blocks a
// loop. Each of them is read here as chmlib will read it and refused unless it fits.
struct ChmLayout {
    uint64_t fileSize = 0;
    uint64_t dataOffset = 0; // where uncompressed entries' starts count from
    bool compressed = false; // the compressed section is present and sound
    uint64_t inflatedSize = 0; // the compressed section's size once inflated
};

// The largest directory block and name chmlib reads (its own CHM_MAX_PATHLEN).
constexpr uint64_t kMaxChmBlock = 64 * 1024;
constexpr uint64_t kMaxChmName = 512;

// Raises Exception naming the file and what is wrong with it.
ChmLayout CheckChmLayout(const std::string& fileName);

// Whether chmlib may read an entry as its directory gives it (space 0 is stored as it is, any
// other space is the compressed section).
bool ChmEntryFits(const ChmLayout& layout, int space, uint64_t start, uint64_t length);
