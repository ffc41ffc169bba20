#include "tools/library/UrlRoot.h"

#include "common/CommandLine.h"

#include <string>

TUrlRoot::TUrlRoot(std::string_view root)
{
    while (!root.empty() && root.back() == '/')
        root.remove_suffix(1);
    if (root.empty())
        return;
    constexpr std::string_view kAllowed = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~/";
    if (root.front() != '/' || root.find_first_not_of(kAllowed) != std::string_view::npos
        || root.find("//") != std::string_view::npos)
        throw EUsageError("--url-root takes a path such as /library, not '" + std::string(root) + "'");
    root_ = root;
}

TUrlRoot::TPlace TUrlRoot::Place(std::string_view document) const
{
    if (root_.empty())
        return { TPlace::kInside, document };
    if (!document.starts_with(root_))
        return {};
    const std::string_view rest = document.substr(root_.size());
    if (rest.empty())
        return { TPlace::kRootWithoutSlash, {} };
    if (rest.front() != '/')
        return {};
    return { TPlace::kInside, rest };
}
