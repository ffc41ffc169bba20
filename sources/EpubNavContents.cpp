#include "sources/EpubNavContents.h"

#include <iterator>

TContents ContentsOfEpubNavigation(const std::vector<EpubNavPoint>& points)
{
    TContents entries;
    for (const EpubNavPoint& point : points) {
        TContentsEntry entry;
        entry.title = point.label;
        if (!point.path.empty())
            entry.page = "/" + point.path;
        entry.anchor = point.fragment.starts_with('#') ? point.fragment.substr(1) : point.fragment;
        entry.children = ContentsOfEpubNavigation(point.children);
        if (!entry.page.empty() || (!entry.children.empty() && !entry.title.empty()))
            entries.push_back(std::move(entry));
        else
            std::move(entry.children.begin(), entry.children.end(), std::back_inserter(entries));
    }
    return entries;
}
