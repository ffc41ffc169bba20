#include "sources/tests/ContentsOutline.h"

std::string Outline(const TContents& contents, int level)
{
    std::string text;
    for (const TContentsEntry& entry : contents) {
        text += std::string(static_cast<std::size_t>(level) * 2, ' ') + entry.title + ">" + entry.page
            + (entry.anchor.empty() ? "" : "#" + entry.anchor) + "\n";
        text += Outline(entry.children, level + 1);
    }
    return text;
}
