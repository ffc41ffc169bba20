#include "search/PreparedPage.h"

#include "common/Exception.h"
#include "search/IndexTokenizer.h"
#include "search/PackedText.h"
#include "search/Snippet.h"

#include <sqlite3.h>

TPagePreparer::TPagePreparer()
{
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db_);
        throw Exception("Cannot make the search index: out of memory");
    }
    try {
        tokenizer_ = std::make_unique<TIndexTokenizer>(db_, TIndexTokenizer::Stemming::Unstemmed);
        packer_ = std::make_unique<TTextPacker>();
    } catch (...) {
        tokenizer_.reset();
        sqlite3_close(db_);
        throw;
    }
}

TPagePreparer::~TPagePreparer()
{
    tokenizer_.reset(); // made from db_
    sqlite3_close(db_);
}

PreparedPage TPagePreparer::Prepare(std::string_view name, PageText text)
{
    PreparedPage page { std::string(name), std::move(text), {}, {} };
    // The layout of the body has done its work (repeated text is out): only the words are kept.
    page.text.blocks = {};
    page.text.elements = {};
    const std::string_view body = page.text.body;
    const auto keep = [&](std::string_view folded) { page.bodyTokens.Append(folded); };
    for (const TextBlock& block : SplitIntoBlocks(*tokenizer_, body, keep))
        page.blocks.push_back({ block.firstToken, packer_->Pack(body.substr(block.begin, block.end - block.begin)) });
    return page;
}
