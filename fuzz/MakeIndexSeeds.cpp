// Writes the seed of fuzz_stored_index: the database image a book keeps for a few pages, with and
// without the pages' places in the contents, as the writer makes them.

#include "search/RepeatedText.h"
#include "search/SearchIndex.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_index_seeds FOLDER\n");
        return 2;
    }
    TSearchIndex index;
    index.Add("/index.htm", PageText { "Keeper", "Keepers", "The lamp keeper keeps the lamp lit", {}, {} });
    index.Add("/b.htm", PageText { "Lamp", "", "A lamp and a keeper's lamp, the harbour light", {}, {} });
    index.Add("/c/d.htm", PageText { "Harbour", "Ships", "Ships come into the harbour at night", {}, {} });
    index.Finish();
    std::ofstream(std::string(argv[1]) + "/three-pages", std::ios::binary) << index.StoredImage(TRepeatedText());
    return 0;
}
