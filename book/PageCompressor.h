#pragma once

#include <string>
#include <string_view>

// Compression levels of the book writer, on zlib's scale with a higher top: 0 stores, 1 is the
// fastest, 6 the usual balance, 12 the smallest. Every level gives a zlib stream that zlib's
// uncompress inflates.
inline constexpr int kMinCompressionLevel = 0;
inline constexpr int kMaxCompressionLevel = 12;
// As small as zip's level 6 on real manuals (level 5 is 1.7% larger on the Python manual's HTML)
// in under half its processor time; each level above it costs more time than the few tenths of a
// per cent it saves.
inline constexpr int kDefaultCompressionLevel = 6;

// The body of a page record: the content's length as int32, then one zlib stream of it (32 KiB
// window, no dictionary). The same content and level always give the same bytes, on any thread.
// The caller checks the content against the page size bound first. Raises Exception when the
// level is outside the range or memory runs out.
std::string CompressPageBody(std::string_view content, int level);

// The level worth spending on a page: content that is compressed already (pictures, fonts, audio,
// archives, recognised by the name's extension) gains next to nothing from effort, so it gets the
// fastest level, which still stores a block as it is when deflate cannot shrink it.
int CompressionLevelFor(std::string_view pageName, int level);
