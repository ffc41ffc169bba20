#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a CHM's system file (/#SYSTEM) says of the book: its records are a 2-byte code, a 2-byte
// length and that many bytes, after a 4-byte version.
struct ChmSystem {
    std::string contentsFile; // the .hhc sitemap, as an archive path without "/"
    std::string indexFile; // the .hhk keyword index
    std::string homePage; // the default topic
    std::string title;
    uint32_t localeId = 0; // a Windows LCID; 0 for none
};

// Reads the records in order; one whose length runs past the end ends the reading (what came
// before still counts), so damaged bytes never read outside `bytes`.
ChmSystem ReadChmSystem(std::string_view bytes);

// "en-US" for 0x0409 and the other common locales; empty for one not known here.
std::string LanguageOfLocale(uint32_t localeId);
