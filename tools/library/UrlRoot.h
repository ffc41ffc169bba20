#pragma once

#include <optional>
#include <string>
#include <string_view>

// The path a server is reached under behind a proxy (`--url-root /library`): requests below it are
// answered with the root taken off; every link and move the server writes puts it back.
class TUrlRoot {
public:
    // "" or "/" for none; else "/A/B" (a final slash is dropped). Raises EUsageError for a root that
    // does not start with '/' or holds anything but URL-safe path characters.
    explicit TUrlRoot(std::string_view root);

    const std::string& Text() const { return root_; } // "" for none, else "/A/B"

    // What a request's document asks for below the root.
    struct TPlace {
        enum Kind { kInside, kRootWithoutSlash, kOutside } kind = kOutside;
        std::string_view rest; // kInside: the document below the root, starting with '/'
    };
    TPlace Place(std::string_view document) const;

private:
    std::string root_;
};
