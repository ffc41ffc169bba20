#include "book/OpenedBook.h"
#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "search/BookPageFeeder.h"
#include "search/SearchIndex.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/Progress.h"
#include "tools/packtool/SourceCommands.h"

#include <cstdint>
#include <iomanip>
#include <nlohmann/json.hpp>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack search BOOK QUERY... [--limit N] [--json]

Searches the text of every HTML, XHTML and plain-text page of BOOK and lists the pages that hold
all the words of QUERY, best first: name, title, score and a few words around the best match, the
matched words in [brackets]. Pages whose title holds the words come first, then those whose
headings do; text repeated on many pages (navigation bars, headers, footers) and a Sphinx
"_sources" copy of a page do not count. Letter case and accents are ignored ("resume" finds
"Résumé"), and so are English word endings ("keys" finds "key"); "quoted words" must stand
together in that order. Pages that cannot be inflated are named on the error output and left out.
The index the book keeps is used when it has one (build writes it unless given --no-index);
otherwise one is built in memory first. A ZIM with a full-text index of its own is
searched through it (its ranking and snippets); an EPUB, CHM, folder or a ZIM without one (up to
256 MiB of pages) is indexed here first. A QUERY longer than 1 MiB is refused. Exit status 1 when
no page matches.

Options:
  --limit N    list at most N pages (default 20; 0 lists all); the total is always given
  --json       one JSON object: total, results with name, title, score and snippet pieces
)";

constexpr int32_t kDefaultLimit = 20;

int64_t LimitOf(const CommandLine& line)
{
    const int32_t limit = NumberOption(line, "--limit", 0, INT32_MAX, kDefaultLimit);
    return limit == 0 ? INT64_MAX : limit;
}

nlohmann::json JsonOf(const SearchResults& results)
{
    nlohmann::json hits = nlohmann::json::array();
    for (const SearchHit& hit : results.hits) {
        nlohmann::json snippet = nlohmann::json::array();
        for (const SnippetPiece& piece : hit.snippet)
            snippet.push_back({ { "text", piece.text }, { "match", piece.matched } });
        hits.push_back({ { "name", BookTextToUtf8(hit.name) }, { "title", hit.title }, { "score", hit.score },
            { "snippet", snippet } });
    }
    return { { "total", results.total }, { "results", hits } };
}

// Answers from the index the book keeps, when it holds one of this version that can be read; a
// damaged one is named and left for an index built in memory.
bool SearchStoredIndex(
    const TBookReader& reader, const SearchQuery& query, int64_t limit, SearchResults& results, ToolContext& context)
{
    try {
        const std::unique_ptr<TSearchIndex> stored = TSearchIndex::OpenStored(reader);
        if (!stored)
            return false;
        results = stored->Search(query, 0, limit);
        return true;
    } catch (const std::exception& error) {
        context.err << error.what() << "; searching without it\n";
        return false;
    }
}

int RunSearch(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, { { "--limit", "", true }, { "--json", "", false } });
    line.ExpectOperands(2, SIZE_MAX, "BOOK and QUERY");
    const int64_t limit = LimitOf(line);
    std::string typed;
    for (std::size_t i = 1; i < line.Operands().size(); ++i)
        typed += (i > 1 ? " " : "") + line.Operands()[i];
    const SearchQuery query = ParseSearchQuery(typed);
    if (typed.size() > kMostQueryBytes)
        throw EUsageError("QUERY is longer than " + std::to_string(kMostQueryBytes) + " bytes");
    if (query.expression.empty())
        throw EUsageError("QUERY holds no word to search for");

    if (const auto kind = OtherSourceKind(line.Operands()[0]))
        return SearchSource(line.Operands()[0], *kind, typed, limit, line.Has("--json"), context);
    const auto book = OpenBookArgument(line.Operands()[0]);
    const TBookReader& reader = book->reader;
    SearchResults results;
    if (!SearchStoredIndex(reader, query, limit, results, context)) {
        TSearchIndex index;
        {
            TProgress progress(context.err, context.errIsTerminal, "Indexing", reader.Pages().Count(), 0);
            IndexWholeBook(reader, index, [&](int entry, PageIndexing outcome) {
                if (outcome == PageIndexing::Damaged)
                    context.err << "Cannot extract page " << BookTextToUtf8(reader.Pages()[entry])
                                << ": not searched\n";
                progress.Step();
            });
        }
        results = index.Search(query, 0, limit);
    }
    if (line.Has("--json")) {
        context.out << JsonOf(results).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
        context.out << results.total << (results.total == 1 ? " page matches" : " pages match");
        if (static_cast<int64_t>(results.hits.size()) < results.total)
            context.out << ", the best " << results.hits.size() << " shown";
        context.out << "\n";
        for (const SearchHit& hit : results.hits) {
            context.out << "\n"
                        << EscapeForTerminal(BookTextToUtf8(hit.name)) << "  "
                        << (hit.title.empty() ? "(no title)" : EscapeForTerminal(CutForDisplay(hit.title))) << "  "
                        << std::fixed << std::setprecision(2) << hit.score << "\n  "
                        << MarkedSnippet(hit.snippet, "[", "]") << "\n";
        }
    }
    return results.total > 0 ? kExitOk : kExitPagesFailed;
}

} // namespace

const PackCommand kSearchCommand { "search", "search the text of a book's pages", kUsage, RunSearch };
