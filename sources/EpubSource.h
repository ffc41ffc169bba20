#pragma once

#include "sources/BuildSettings.h"
#include "sources/EpubPackage.h"
#include "sources/SourcePage.h"
#include "sources/SourceTree.h"
#include "sources/ZipArchive.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Whether the file is an EPUB: a zip archive holding META-INF/container.xml, whatever its name.
bool IsEpubFile(const std::string& fileName);

// What a book takes from an EPUB besides its files: the package, and the contents page written
// from its navigation, which becomes the home page.
struct EpubBookParts {
    EpubPackage package;
    std::string contentsName; // a page name no file of the EPUB uses
    std::string contentsPage;

    // Reads the package and writes the contents page; `names` are the EPUB's archive paths.
    EpubBookParts(const EpubFileReader& read, const std::vector<std::string>& names, const std::string& source);
    // mimetype, META-INF/, the package document and the NCX: not pages of the book.
    bool IsPackagingFile(const std::string& archivePath) const;
    // Fills in what the author left unset (title, description, date, authors and language as the
    // About text), saying on `out` what it chose; `fallbackTitle` when the package has none.
    void ApplyDefaults(BuildSettings& settings, const std::string& fallbackTitle, std::ostream& out) const;
};

// The pages of a book made from an EPUB file: every file of the archive except the packaging
// ones, plus the contents page.
class TEpubSource {
public:
    // Raises Exception naming the file when it cannot be read as an EPUB or breaks a bound.
    explicit TEpubSource(const std::string& fileName);

    void ApplyDefaults(BuildSettings& settings, std::ostream& out) const;
    // Sorted by page name; the loads read from the archive and stay valid while this lives.
    const std::vector<SourcePage>& Pages() const { return pages_; }
    // The home page's index in Pages(): the one the settings name, else the contents page.
    int32_t HomeIndex(const BuildSettings& settings) const;
    const EpubPackage& Package() const { return parts_->package; }
    // The page name of the contents page written from the navigation.
    const std::string& ContentsName() const { return parts_->contentsName; }
    // The pages a search leaves out, as stored: the contents page written from the navigation, the
    // navigation document and the EPUB's own table-of-contents documents. They only lead to
    // others, and would come high in every search for the titles they list. Reads the first
    // documents of the reading order (EpubOwnContents.h) each time it is asked.
    std::vector<std::string> PagesLeftOutOfSearch() const;

private:
    std::string fileName_;
    TZipArchive archive_;
    std::optional<EpubBookParts> parts_;
    std::vector<SourcePage> pages_;
    std::string storedContents_; // the navigation as the book stores it (StoredContents.h)
};

// An EPUB unpacked into a folder (META-INF/container.xml at its top), or nothing for any other
// folder. Raises Exception when the container is there but the package cannot be read.
std::optional<EpubBookParts> ReadUnpackedEpub(
    const std::filesystem::path& folder, const std::vector<SourceFile>& files);
