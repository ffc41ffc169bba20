#include "tools/packtool/ServeSearch.h"

#include "book/BookReader.h"
#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "common/PercentDecoding.h"
#include "html/HtmlEscape.h"
#include "search/BookPageFeeder.h"
#include "search/SourceSearch.h"
#include "server/http/HTTPRequestInfo.h"
#include "sources/SourceContents.h"

#include <nlohmann/json.hpp>

#include <charconv>

namespace {

constexpr int64_t kDefaultServedResults = 20;
constexpr int64_t kDefaultServedSuggestions = 10;

} // namespace

std::string ServedPageLink(std::string_view storedName)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : BookTextToUtf8(storedName)) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 && byte < 0x80)
            out += c;
        else if (c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
            out += c;
        else
            out += { '%', kHex[byte >> 4], kHex[byte & 15] };
    }
    return out;
}

namespace {

std::string ResultsJson(const std::string& typed, const SearchResults& results, std::string_view prefix)
{
    nlohmann::json hits = nlohmann::json::array();
    for (const SearchHit& hit : results.hits) {
        nlohmann::json snippet = nlohmann::json::array();
        for (const SnippetPiece& piece : hit.snippet)
            snippet.push_back({ { "text", piece.text }, { "match", piece.matched } });
        hits.push_back({ { "name", BookTextToUtf8(hit.name) }, { "title", hit.title },
            { "link", std::string(prefix) + ServedPageLink(hit.name) }, { "breadcrumb", hit.breadcrumb },
            { "score", hit.score }, { "snippet", snippet } });
    }
    nlohmann::json answer
        = { { "query", typed }, { "total", results.total }, { "start", results.offset }, { "results", hits } };
    if (results.queryCut)
        answer["cut"] = true; // only the query's first words were searched for
    return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string ResultsPage(const std::string& typed, const SearchResults& results, std::string_view prefix)
{
    std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Search: " + EscapeHtml(typed)
        + "</title></head><body><form action=\"" + EscapeHtml(prefix) + std::string(TServedSearch::kSearchPath)
        + "\"><input name=\"q\" value=\"" + EscapeHtml(typed) + "\"> <button>Search</button></form><p>"
        + std::to_string(results.total) + (results.total == 1 ? " page matches" : " pages match") + "</p><ol start=\""
        + std::to_string(results.offset + 1) + "\">";
    for (const SearchHit& hit : results.hits) {
        const std::string name = BookTextToUtf8(hit.name);
        page += "<li><a href=\"" + EscapeHtml(prefix) + ServedPageLink(hit.name) + "\">"
            + EscapeHtml(hit.title.empty() ? name : hit.title) + "</a><br><small>"
            + EscapeHtml(hit.breadcrumb.empty() ? name : BreadcrumbLine(hit.breadcrumb)) + "</small><br>";
        for (const SnippetPiece& piece : hit.snippet)
            page += piece.matched ? "<b>" + EscapeHtml(piece.text) + "</b>" : EscapeHtml(piece.text);
        page += "</li>";
    }
    return page + "</ol></body></html>";
}

} // namespace

std::string QueryParameter(std::string_view query, std::string_view name)
{
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t equals = pair.find('=');
        if (PercentDecodeQuery(pair.substr(0, equals)) == name)
            return equals == std::string_view::npos ? std::string() : PercentDecodeQuery(pair.substr(equals + 1));
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return {};
}

TServedSearch::TServedSearch(TBookSource& source, std::ostream& err)
    : source_(source)
    , err_(err)
    , thread_([this] { Build(); })
{
}

TServedSearch::~TServedSearch()
{
    Stop();
    if (thread_.joinable())
        thread_.join();
}

void TServedSearch::Stop()
{
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    built_.notify_all();
    {
        std::lock_guard guard(titlesLock_);
        titlesStop_ = true;
    }
    titlesMade_.notify_all();
}

const TContents TServedSearch::kNoContents;

void TServedSearch::Build()
{
    try {
        contents_ = &ContentsOfSource(source_);
    } catch (const std::exception&) {
        // Contents that cannot be read: results come without breadcrumbs.
    }
    places_ = TContentsPlaces(*contents_);
    std::string unsearchable = WhyNotSearchable(source_);
    const TZimSource* archive = ArchiveSearchOf(source_);
    if (archive != nullptr || !unsearchable.empty()) {
        auto titles = std::make_unique<TTitleSuggestions>();
        AddSourceTitles(*titles, source_, *contents_, nullptr);
        std::lock_guard guard(lock_);
        SetTitles(std::move(titles));
        archive_ = archive;
        unsearchable_ = std::move(unsearchable);
        ready_ = true;
        built_.notify_all();
        return;
    }
    try {
        stored_ = OpenStoredIndexOf(source_);
    } catch (const std::exception& error) {
        err_ << EscapeForTerminal(error.what(), LineBreaks::Keep, kDisplayDescriptionLength)
             << "; searching an index built in memory instead" << std::endl;
    }
    if (stored_) {
        auto titles = std::make_unique<TTitleSuggestions>();
        try {
            AddSourceTitles(*titles, source_, *contents_, stored_.get());
        } catch (const std::exception&) {
            titles = std::make_unique<TTitleSuggestions>();
            AddSourceTitles(*titles, source_, *contents_, nullptr);
        }
        std::lock_guard guard(lock_);
        SetTitles(std::move(titles));
        ready_ = true;
        built_.notify_all();
        return;
    }
    BuildInMemory();
}

bool TServedSearch::BuildInMemory()
{
    try {
        {
            const std::unique_ptr<TPageFeeder> feeder = PageFeederOf(source_);
            while (std::optional<PreparedEntry> prepared = feeder->Next()) {
                {
                    std::lock_guard guard(lock_);
                    if (stop_)
                        return false;
                }
                AddToIndex(index_, *prepared);
            }
        }
        index_.Finish();
    } catch (const std::exception&) {
        // Out of memory: the pages indexed so far are searched.
    }
    auto titles = std::make_unique<TTitleSuggestions>();
    try {
        AddSourceTitles(*titles, source_, *contents_, &index_);
    } catch (const std::exception&) {
        // Titles that cannot be gathered: none are suggested.
    }
    {
        std::lock_guard guard(lock_);
        SetTitles(std::move(titles));
        ready_ = true;
    }
    built_.notify_all();
    return true;
}

SearchResults TServedSearch::SearchLocked(
    std::unique_lock<std::mutex>& guard, const std::string& typed, int64_t start, int64_t limit)
{
    if (archive_ != nullptr) {
        try {
            return ArchiveResults(*archive_, typed, start, limit);
        } catch (const std::exception& error) {
            // The archive's own index is damaged: said once, and the archive is searched from now
            // on as one without an index of its own.
            err_ << EscapeForTerminal(error.what(), LineBreaks::Keep, kDisplayDescriptionLength)
                 << "; searching without it" << std::endl;
            archive_ = nullptr;
            unsearchable_ = WhyNotSearchable(source_);
            if (!unsearchable_.empty())
                return {};
            RebuildInMemory(guard);
        }
    }
    if (stored_) {
        try {
            return stored_->Search(typed, start, limit);
        } catch (const std::exception& error) {
            // Damaged where this query read it: said once, and every query from now on waits for
            // an index built in memory instead.
            err_ << EscapeForTerminal(error.what(), LineBreaks::Keep, kDisplayDescriptionLength)
                 << "; searching an index built in memory instead" << std::endl;
            stored_.reset();
            RebuildInMemory(guard);
        }
    }
    return index_.Search(typed, start, limit);
}

void TServedSearch::SetTitles(std::unique_ptr<TTitleSuggestions> titles)
{
    {
        std::lock_guard guard(titlesLock_);
        titles_ = std::move(titles);
    }
    titlesMade_.notify_all();
}

void TServedSearch::RebuildInMemory(std::unique_lock<std::mutex>& guard)
{
    ready_ = false;
    if (thread_.joinable())
        thread_.join(); // it ended once the search it set up was ready
    thread_ = std::thread([this] { BuildInMemory(); });
    built_.wait(guard, [this] { return ready_ || stop_; });
    if (!ready_)
        throw Exception("The server is stopping");
}

std::optional<std::vector<TitleSuggestion>> TServedSearch::Suggest(const std::string& typed, std::size_t limit)
{
    // Not lock_, which a running search holds: suggestions never wait for one.
    std::unique_lock guard(titlesLock_);
    titlesMade_.wait(guard, [this] { return titles_ != nullptr || titlesStop_; });
    if (titles_ == nullptr)
        return std::nullopt;
    const std::shared_ptr<const TTitleSuggestions> titles = titles_;
    guard.unlock();
    // The titles' tokenizer serves one look-up at a time.
    std::lock_guard suggesting(suggestLock_);
    return SuggestTitles(source_, *titles, typed, limit);
}

TAnswer TServedSearch::AnswerSuggestions(const THTTPRequestInfo& request, std::string_view linkPrefix)
{
    const std::string typed = QueryParameter(request.RawParams, "q");
    if (typed.size() > kMostQueryBytes)
        return TextAnswer(413, "The query is longer than " + std::to_string(kMostQueryBytes) + " bytes.");
    const auto limit = static_cast<std::size_t>(
        NumberParameter(request.RawParams, "limit", kDefaultServedSuggestions, kMostServedResults));
    const std::optional<std::vector<TitleSuggestion>> found = Suggest(typed, limit);
    if (!found)
        return TextAnswer(503, "The server is stopping.");
    nlohmann::json list = nlohmann::json::array();
    for (const TitleSuggestion& suggestion : *found)
        list.push_back({ { "title", suggestion.title }, { "name", BookTextToUtf8(suggestion.page) },
            { "link",
                std::string(linkPrefix) + ServedPageLink(suggestion.page)
                    + (suggestion.anchor.empty() ? "" : "#" + suggestion.anchor) } });
    return TextAnswer(200,
        nlohmann::json { { "query", typed }, { "suggestions", list } }.dump(
            -1, ' ', false, nlohmann::json::error_handler_t::replace),
        "application/json");
}

TServedSearch::TFound TServedSearch::Find(const std::string& typed, int64_t start, int64_t limit)
{
    TFound found;
    std::unique_lock guard(lock_);
    built_.wait(guard, [this] { return ready_ || stop_; });
    if (!ready_)
        return { 503, "The server is stopping.", {} };
    if (!unsearchable_.empty())
        return { 501, unsearchable_, {} };
    try {
        found.results = SearchLocked(guard, typed, start, limit);
    } catch (const std::exception&) {
        return { 503, "The server is stopping.", {} };
    }
    places_.Place(found.results);
    return found;
}

TAnswer TServedSearch::AnswerSearch(const THTTPRequestInfo& request, std::string_view linkPrefix)
{
    const std::string typed = QueryParameter(request.RawParams, "q");
    const bool json = QueryParameter(request.RawParams, "format") == "json";
    if (typed.size() > kMostQueryBytes)
        return TextAnswer(413, "The query is longer than " + std::to_string(kMostQueryBytes) + " bytes.");
    const int64_t start = NumberParameter(request.RawParams, "start", 0, INT32_MAX);
    const int64_t limit = NumberParameter(request.RawParams, "limit", kDefaultServedResults, kMostServedResults);
    TFound found = Find(typed, start, limit);
    if (found.code != 200)
        return TextAnswer(found.code, std::move(found.why));
    if (json)
        return TextAnswer(200, ResultsJson(typed, found.results, linkPrefix), "application/json");
    return TextAnswer(200, ResultsPage(typed, found.results, linkPrefix), "text/html; charset=utf-8");
}

std::optional<TAnswer> TServedSearch::Answer(const THTTPRequestInfo& request)
{
    if (request.Document == kSuggestPath)
        return AnswerSuggestions(request, {});
    if (request.Document == kSearchPath)
        return AnswerSearch(request, {});
    return std::nullopt;
}

int64_t NumberParameter(std::string_view query, std::string_view name, int64_t fallback, int64_t highest)
{
    const std::string text = QueryParameter(query, name);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        return fallback;
    return std::min(value, highest);
}
