#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "search/ContentsPlaces.h"
#include "search/SourceSearch.h"
#include "sources/SourceContents.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/Progress.h"

#include <cstdint>
#include <future>
#include <iomanip>
#include <nlohmann/json.hpp>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack search BOOK QUERY... [--limit N] [--json] [--titles]

Searches the text of every HTML, XHTML and plain-text page of BOOK and lists the pages that hold
all the words of QUERY, best first: name, title, where the page sits in the contents, score and a
few words around the best match, the matched words in [brackets]. Pages whose title holds the
words come first, then those whose headings do; text repeated on many pages (navigation bars,
headers, footers) and a Sphinx "_sources" copy of a page do not count. Letter case and accents
are ignored ("resume" finds "Résumé"), and so are English word endings ("keys" finds "key");
"quoted words" must stand together in that order. Pages that cannot be read are named on the
error output and left out. A page without a title of its own (or titled with its file name) shows
its contents entry's title.
The index the book keeps is used when it has one (build writes it unless given --no-index);
otherwise one is built in memory first. A ZIM with a full-text index of its own is searched
through it (its ranking and snippets); an EPUB, CHM, folder or a ZIM without one (up to 256 MiB of
pages) is indexed here first. A QUERY longer than 1 MiB is refused. When no page holds the words
whole, the last is tried as the beginning of longer words, and the answer starts by saying so
("no page holds 'subproc'; pages with words beginning so:"; with --json "beginnings": true).
Exit status 1 when no page matches.

Options:
  --limit N    list at most N pages (default 20; 0 lists all); the total is always given
  --json       one JSON object: total, results with name, title, breadcrumb, score and snippet
               pieces (with --titles: suggestions with title, name, anchor and kind)
  --titles     list the titles that begin with the words instead, as the viewer suggests them
               while typing: page titles, then contents entries, then keyword index entries
               (a ZIM's from its title index); the last word may be cut short
  --follow-outside  for a folder: follow its links that lead outside it
)";

constexpr int32_t kDefaultLimit = 20;
// Titles listed at most by default with --titles.
constexpr std::size_t kDefaultTitles = 20;

int64_t LimitOf(const CommandLine& line, int32_t fallback)
{
    const int32_t limit = NumberOption(line, "--limit", 0, INT32_MAX, fallback);
    return limit == 0 ? INT64_MAX : limit;
}

// The index to search: the one the book keeps, else one built now (null for a ZIM searched
// through its own). A damaged stored index is named and left for one built in memory.
std::unique_ptr<TSearchIndex> IndexInMemory(TBookSource& source, ToolContext& context)
{
    auto index = std::make_unique<TSearchIndex>();
    const std::unique_ptr<TPageFeeder> feeder = PageFeederOf(source);
    TProgress progress(context.err, context.errIsTerminal, "Indexing", feeder->Total(), 0);
    IndexAllPages(*feeder, *index, [&](int entry, PageIndexing outcome) {
        if (outcome == PageIndexing::Damaged)
            context.err << "Cannot extract page " << EscapeForTerminal(BookTextToUtf8(feeder->NameOf(entry)))
                        << ": not searched\n";
        progress.Step();
    });
    return index;
}

// The index the book keeps; nothing when it keeps none or a damaged one, which is named.
std::unique_ptr<TSearchIndex> StoredIndexOf(TBookSource& source, ToolContext& context)
{
    try {
        return OpenStoredIndexOf(source);
    } catch (const std::exception& error) {
        context.err << EscapeForTerminal(error.what(), LineBreaks::Keep, kDisplayDescriptionLength)
                    << "; searching without it\n";
    }
    return nullptr;
}

std::unique_ptr<TSearchIndex> IndexFor(TBookSource& source, ToolContext& context)
{
    if (auto stored = StoredIndexOf(source, context))
        return stored;
    return IndexInMemory(source, context);
}

// The results from the index; a stored one found damaged by the query is named, and the query
// answered by an index built in memory.
SearchResults SearchIndexOf(
    TSearchIndex& index, TBookSource& source, const SearchQuery& query, int64_t limit, ToolContext& context)
{
    try {
        return index.Search(query, 0, limit);
    } catch (const std::exception& error) {
        context.err << EscapeForTerminal(error.what(), LineBreaks::Keep, kDisplayDescriptionLength)
                    << "; searching without it\n";
    }
    return IndexInMemory(source, context)->Search(query, 0, limit);
}

std::string_view KindWord(TitleSuggestion::Kind kind)
{
    switch (kind) {
    case TitleSuggestion::Kind::PageTitle:
        return "page";
    case TitleSuggestion::Kind::ContentsEntry:
        return "contents";
    case TitleSuggestion::Kind::Keyword:
        return "keyword";
    }
    return "page";
}

int ListTitles(TBookSource& source, const TContents& contents, const std::string& typed, int64_t limit, bool json,
    ToolContext& context)
{
    TTitleSuggestions titles;
    std::unique_ptr<TSearchIndex> index;
    // A ZIM's titles come from its title index; other sources' pages' titles from the index.
    if (ArchiveSearchOf(source) == nullptr && WhyNotSearchable(source).empty())
        index = IndexFor(source, context);
    AddSourceTitles(titles, source, contents, index.get());
    const std::vector<TitleSuggestion> found
        = SuggestTitles(source, titles, typed, static_cast<std::size_t>(std::min<int64_t>(limit, 100000)));
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const TitleSuggestion& suggestion : found)
            list.push_back({ { "title", suggestion.title }, { "name", BookTextToUtf8(suggestion.page) },
                { "anchor", suggestion.anchor }, { "kind", KindWord(suggestion.kind) } });
        context.out << EscapeC1InJson(
            nlohmann::json { { "suggestions", list } }.dump(2, ' ', false, nlohmann::json::error_handler_t::replace))
                    << "\n";
    } else {
        for (const TitleSuggestion& suggestion : found)
            context.out << EscapeForTerminal(suggestion.title) << "  "
                        << EscapeForTerminal(BookTextToUtf8(suggestion.page))
                        << (suggestion.anchor.empty() ? "" : "#" + EscapeForTerminal(suggestion.anchor)) << "  ("
                        << KindWord(suggestion.kind) << ")\n";
    }
    return found.empty() ? kExitPagesFailed : kExitOk;
}

// `beginnings`: no page holds the words of `typed` whole, and these pages hold words they begin.
void PrintResults(const SearchResults& results, bool fromArchive, const std::string& typed, bool beginnings, bool json,
    ToolContext& context)
{
    if (json) {
        nlohmann::json hits = nlohmann::json::array();
        for (const SearchHit& hit : results.hits) {
            nlohmann::json snippet = nlohmann::json::array();
            for (const SnippetPiece& piece : hit.snippet)
                snippet.push_back({ { "text", piece.text }, { "match", piece.matched } });
            hits.push_back({ { "name", BookTextToUtf8(hit.name) }, { "title", hit.title },
                { "breadcrumb", hit.breadcrumb }, { "score", hit.score }, { "snippet", snippet } });
        }
        nlohmann::json answer = { { "total", results.total }, { "results", hits } };
        if (fromArchive)
            answer["index"] = "zim";
        if (beginnings)
            answer["beginnings"] = true;
        if (results.queryCut)
            answer["cut"] = true;
        context.out << EscapeC1InJson(answer.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)) << "\n";
        return;
    }
    if (beginnings)
        context.out << "no page holds '" << EscapeForTerminal(typed) << "'; pages with words beginning so:\n";
    context.out << results.total << (results.total == 1 ? " page matches" : " pages match");
    if (static_cast<int64_t>(results.hits.size()) < results.total)
        context.out << ", the best " << results.hits.size() << " shown";
    context.out << (fromArchive ? " (from the archive's own index)\n" : "\n");
    for (const SearchHit& hit : results.hits) {
        context.out << "\n"
                    << EscapeForTerminal(BookTextToUtf8(hit.name)) << "  "
                    << (hit.title.empty() ? "(no title)" : EscapeForTerminal(hit.title)) << "  " << std::fixed
                    << std::setprecision(2) << hit.score << "\n";
        if (!hit.breadcrumb.empty())
            context.out << "  " << EscapeForTerminal(BreadcrumbLine(hit.breadcrumb)) << "\n";
        context.out << "  "
                    << EscapeForTerminal(
                           MarkedSnippet(hit.snippet, "[", "]"), LineBreaks::Blank, kDisplayDescriptionLength)
                    << "\n";
    }
}

int RunSearch(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(
        args, { kFollowOutsideOption, { "--limit", "", true }, { "--json", "", false }, { "--titles", "", false } });
    line.ExpectOperands(2, SIZE_MAX, "BOOK and QUERY");
    const bool titles = line.Has("--titles");
    const int64_t limit = LimitOf(line, titles ? static_cast<int32_t>(kDefaultTitles) : kDefaultLimit);
    std::string typed;
    for (std::size_t i = 1; i < line.Operands().size(); ++i)
        typed += (i > 1 ? " " : "") + line.Operands()[i];
    const SearchQuery query = ParseSearchQuery(typed);
    if (typed.size() > kMostQueryBytes)
        throw EUsageError("QUERY is longer than " + std::to_string(kMostQueryBytes) + " bytes");
    if (query.expression.empty())
        throw EUsageError("QUERY holds no word to search for");

    const std::string& path = line.Operands()[0];
    const TSourceArgument opened = OpenSourceArgument(path, line);
    TBookSource& source = *opened.source;
    if (titles)
        return ListTitles(source, ContentsOfSource(source), typed, limit, line.Has("--json"), context);
    if (const std::string why = WhyNotSearchable(source); !why.empty())
        throw Exception(path + ": " + why);
    const TZimSource* archive = ArchiveSearchOf(source);
    std::unique_ptr<TSearchIndex> index = archive == nullptr ? StoredIndexOf(source, context) : nullptr;
    // The breadcrumbs come from the contents unless the index keeps them. The contents may take
    // the home pages parsed: that happens beside the indexing and the query, as any source
    // answers lookups on several threads at once.
    std::future<const TContents*> contents; // as the source keeps them
    if (index == nullptr || !index->KeepsPlaces())
        contents = std::async(std::launch::async, [&source] { return &ContentsOfSource(source); });
    if (archive == nullptr && index == nullptr)
        index = IndexInMemory(source, context);
    SearchResults results = archive != nullptr ? ArchiveResults(*archive, typed, 0, std::min<int64_t>(limit, 10000))
                                               : SearchIndexOf(*index, source, query, limit, context);
    // No page holds the words whole: the last is tried as the beginning of longer words, as the
    // viewer does while it is typed.
    bool beginnings = false;
    if (results.total == 0 && index != nullptr) {
        if (const SearchQuery begun = ParseSearchQuery(typed, LastWord::Prefix); begun.lastTermIsPrefix) {
            SearchResults widened = SearchIndexOf(*index, source, begun, limit, context);
            beginnings = widened.total > 0;
            if (beginnings)
                results = std::move(widened);
        }
    }
    if (!results.placed) {
        TContentsPlaces places;
        try {
            places = TContentsPlaces(contents.valid() ? *contents.get() : ContentsOfSource(source));
        } catch (const std::exception&) {
            // Contents that cannot be read: results come without breadcrumbs.
        }
        places.Place(results);
    }
    if (results.queryCut)
        context.err << "Only the query's first " << kMostQueryWords << " words were searched for (at most "
                    << kMostQueryTerms << " terms of at most " << kMostQueryWordBytes << " bytes a word)\n";
    PrintResults(results, archive != nullptr, typed, beginnings, line.Has("--json"), context);
    return results.total > 0 ? kExitOk : kExitPagesFailed;
}

} // namespace

const PackCommand kSearchCommand { "search", "search the text of a book's pages", kUsage, RunSearch };
