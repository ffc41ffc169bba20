#pragma once

#include "BuildSettings.h"
#include "EpubPackage.h"
#include "PagePacking.h"
#include "ZipArchive.h"

#include <ostream>
#include <string>
#include <vector>

// Whether the file is an EPUB: a zip archive holding META-INF/container.xml, whatever its name.
bool IsEpubFile(const std::string& fileName);

// The pages of a book made from an EPUB: every file of the archive except the packaging ones
// (mimetype, META-INF/, the package document and the NCX), plus a contents page written from the
// EPUB's navigation, which is the home page.
class TEpubSource {
public:
    // Raises Exception naming the file when it cannot be read as an EPUB or breaks a bound.
    explicit TEpubSource(const std::string& fileName);

    // Fills in what the author left unset from the package document (title, description, date,
    // authors and language as the About text), saying each on `out`, and chooses the home page.
    void ApplyDefaults(BuildSettings& settings, std::ostream& out) const;
    // Sorted by page name; the loads read from the archive and stay valid while this lives.
    const std::vector<PageSource>& Pages() const { return pages_; }
    // The home page's index in Pages() for the settings ApplyDefaults filled.
    int32_t HomeIndex(const BuildSettings& settings) const;

private:
    std::string fileName_;
    TZipArchive archive_;
    EpubPackage package_;
    std::string contentsName_; // the page name of the contents page
    std::string contentsPage_;
    std::vector<PageSource> pages_;
};
