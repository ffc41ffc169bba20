#pragma once

#include "sources/ChmLayout.h"
#include "sources/ChmSystem.h"
#include "sources/PageListSource.h"

#include <cstdint>
#include <mutex>
#include <string>

struct chmFile;

// A CHM (compiled HTML Help) file read in place through chmlib: every file of the archive but its
// internal ones ("/#...", "/$...", "::...") as a page, the home page and title from its system
// file, the contents from its .hhc sitemap and the keywords from its .hhk. What chmlib will trust
// is checked against the file before chmlib opens it (ChmLayout), and each entry's size against
// the file and the page bound before it is read; a damaged entry gives an Exception naming it. Reads take turns: chmlib
// keeps one cursor per file.
class TChmSource : public TPageListSource {
public:
    // Raises Exception naming the file when chmlib cannot open it.
    explicit TChmSource(const std::string& fileName);
    ~TChmSource() override;
    TChmSource(const TChmSource&) = delete;
    TChmSource& operator=(const TChmSource&) = delete;

    std::string Title() const override;
    std::string HomePageName() const override;
    TContents Contents() const override { return contents_; }
    std::string KindName() const override { return "CHM"; }
    std::string Language() const override { return LanguageOfLocale(system_.localeId); }
    // The keyword index (.hhk); empty where the file has none.
    TContents Keywords() const override { return keywords_; }

    // The bytes of the archive's file at `path` ("/" first, as stored). Raises Exception naming
    // the entry when there is none, it declares more than the bounds allow or cannot be read.
    std::string ReadEntry(const std::string& path) const;

private:
    std::string ReadOptional(const std::string& path) const;

    std::string fileName_;
    ChmLayout layout_;
    chmFile* file_ = nullptr;
    mutable std::mutex readLock_;
    ChmSystem system_;
    TContents contents_;
    TContents keywords_;
};
