#include "sources/FolderPreview.h"

#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "html/Blanks.h"
#include "html/MarkupTokenizer.h"
#include "html/PageKind.h"
#include "sources/StoredContents.h"

#include <algorithm>
#include <chrono>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Asks for the generation four times a second and reloads the page when it moved on from the one
// the page was served in (the query of the script's own address); a server that is gone is asked
// again less often.
constexpr std::string_view kReloadScript
    = "(function(){var s=document.currentScript;var seen=s?s.src.split(\"?\")[1]:\"\";"
      "function ask(){fetch(\"/.ebook-preview/generation\",{cache:\"no-store\"}).then(function(r){return r.text();})"
      ".then(function(now){if(now!==seen)location.reload();else setTimeout(ask,250);},"
      "function(){setTimeout(ask,1000);});}setTimeout(ask,250);})();\n";

// Where the hook goes: at the very start, after a byte order mark, an XML declaration, comments
// and the doctype (before it the engine would switch to quirks mode). Nothing the page holds
// further on (an element left open, a comment never closed) can swallow it there.
std::size_t HookPosition(std::string_view page)
{
    const std::size_t start = page.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    MarkupTokenizer tokens(page.substr(start));
    MarkupToken token;
    std::size_t at = 0;
    while (tokens.Next(token) && token.terminated) {
        const bool blank = token.kind == MarkupTokenKind::Text && TrimBlanks(token.text).empty();
        if (!blank && token.kind != MarkupTokenKind::Comment && token.kind != MarkupTokenKind::Doctype
            && token.kind != MarkupTokenKind::ProcessingInstruction)
            break;
        // Blanks stay after the hook: they are text only where the hook already stands.
        if (!blank)
            at = token.end;
    }
    return start + at;
}

// The start of the page's last </body> end tag; npos when there is none.
std::size_t LastBodyEnd(std::string_view page)
{
    MarkupTokenizer tokens(page, MarkupDialect::Xhtml);
    MarkupToken token;
    std::size_t found = std::string_view::npos;
    while (tokens.Next(token)) {
        if (token.kind == MarkupTokenKind::EndTag && token.name == "body")
            found = token.begin;
    }
    return found;
}

// XHTML has a single root element, so there the hook goes inside it, before the last </body>;
// markup left open breaks such a page anyway.
std::string WithReloadHook(std::string page, uint64_t generation, bool xml)
{
    const std::size_t at = xml ? std::min(LastBodyEnd(page), page.size()) : HookPosition(page);
    page.insert(at, ReloadHook(generation));
    return page;
}

// A file's last write and size: what changes when an editor saves it.
std::string SignatureOf(const fs::path& path, uintmax_t size)
{
    std::error_code error;
    const auto time = fs::last_write_time(path, error);
    return std::to_string(time.time_since_epoch().count()) + ":" + std::to_string(size);
}

std::string SignatureOf(const fs::path& path)
{
    std::error_code error;
    return SignatureOf(path, fs::file_size(path, error));
}

} // namespace

TFolderPages::TFolderPages(
    fs::path folder, CommandLine line, bool reload, std::ostream& out, std::ostream& notes, FolderOpening opening)
    : folder_(std::move(folder))
    , line_(std::move(line))
    , reload_(reload)
    , opening_(opening)
{
    std::error_code error;
    realFolder_ = fs::canonical(folder_, error);
    if (error)
        throw Exception("Cannot read folder " + folder_.string() + ": " + error.message());
    serveOutside_ = SourceRulesFor({}, line_, opening_.use).followOutside;
    plan_ = MakePlan(out, notes);
    servedSignature_ = lastSignature_ = Signature();
}

std::shared_ptr<const TFolderPages::Plan> TFolderPages::MakePlan(std::ostream& out, std::ostream& notes) const
{
    auto plan = std::make_shared<Plan>();
    // Every plan names the links it refuses; each is told once, not again at every reload.
    std::ostringstream refused;
    FolderOpening opening = opening_;
    opening.refusals = &refused;
    plan->book = PlanFolderBook(folder_, line_, {}, out, notes, opening);
    std::ostream& told = opening_.refusals != nullptr ? *opening_.refusals : notes;
    std::istringstream lines(refused.str());
    for (std::string line; std::getline(lines, line);) {
        if (refusalsTold_.insert(line).second)
            told << line << "\n";
    }
    for (std::size_t i = 0; i < plan->book.files.size(); ++i)
        plan->firstByFoldedName.emplace(FoldedBookText(plan->book.files[i].pageName), i);
    return plan;
}

std::string TFolderPages::Signature() const
{
    std::ostringstream ignored;
    std::string signature = SignatureOf(folder_ / "book.json");
    try {
        const std::shared_ptr<const Plan> plan = [&] {
            const std::lock_guard lock(mutex_);
            return plan_;
        }();
        const SourceRules rules = SourceRulesFor(plan->book.settings, line_, opening_.use);
        for (const SourceFile& file : CollectSourceFiles(folder_, rules, ignored)) {
            // A book built into the folder is its output, not a change to it.
            if (FoldedBookText(file.pageName).ends_with(".ebook"))
                continue;
            // The size was read while the files were collected.
            signature += "\n" + file.pageName + "=" + SignatureOf(file.path, file.size);
        }
    } catch (const Exception& error) {
        signature += "\n" + error.Message();
    }
    return signature;
}

std::string ReloadHook(uint64_t generation)
{
    return "<script async=\"async\" src=\"" + std::string(kPreviewReloadScript) + "?" + std::to_string(generation)
        + "\"></script>";
}

TPageLookup TFolderPages::Lookup(std::string_view name)
{
    if (name == kPreviewGenerationPage && reload_)
        return { true, std::make_shared<const std::string>(std::to_string(Generation())) };
    if (name == kPreviewReloadScript && reload_)
        return { true, std::make_shared<const std::string>(kReloadScript) };
    const std::shared_ptr<const Plan> plan = [&] {
        const std::lock_guard lock(mutex_);
        return plan_;
    }();
    const auto found = plan->firstByFoldedName.find(FoldedBookText(name));
    if (found == plan->firstByFoldedName.end())
        return {};
    const uint64_t generation = Generation();
    const SourceFile& file = plan->book.files[found->second];
    const bool inside = !serveOutside_;
    if (inside && file.outside)
        return {};
    try {
        std::string bytes
            = inside ? plan->book.PageBytesWithin(found->second, realFolder_) : plan->book.PageBytes(found->second);
        const std::string& pageName = plan->book.files[found->second].pageName;
        if (reload_ && IsMarkupPage(pageName))
            bytes = WithReloadHook(std::move(bytes), generation, PageKindOf(pageName) == PageKind::Xhtml);
        return { true, std::make_shared<const std::string>(std::move(bytes)) };
    } catch (const Exception&) {
        return { true, nullptr }; // removed since the last look: not found until the next plan
    }
}

std::string TFolderPages::NotFoundMarkup()
{
    return reload_ ? ReloadHook(Generation()) : std::string();
}

std::string TFolderPages::HomePageName() const
{
    const std::lock_guard lock(mutex_);
    const int32_t index = plan_->book.settings.header.homePageIndex;
    return index < 0 ? "/" : plan_->book.files[static_cast<std::size_t>(index)].pageName;
}

TContents TFolderPages::Contents() const
{
    const std::lock_guard lock(mutex_);
    const auto found = plan_->book.written.find(StoredBookText(kContentsEntryName));
    if (found == plan_->book.written.end())
        return {};
    auto stored = ParseStoredContents(found->second);
    return stored ? std::move(stored->entries) : TContents();
}

std::vector<std::string> TFolderPages::PageNames() const
{
    const std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    names.reserve(plan_->book.files.size());
    for (const SourceFile& file : plan_->book.files)
        names.push_back(file.pageName);
    return names;
}

std::optional<int> TFolderPages::PageIndexOf(std::string_view name) const
{
    const std::lock_guard lock(mutex_);
    const auto found = plan_->firstByFoldedName.find(FoldedBookText(name));
    return found == plan_->firstByFoldedName.end() ? -1 : static_cast<int>(found->second);
}

std::optional<std::string> TFolderPages::StoredPageName(std::string_view name)
{
    const std::lock_guard lock(mutex_);
    const auto found = plan_->firstByFoldedName.find(FoldedBookText(name));
    return found == plan_->firstByFoldedName.end() ? std::optional<std::string>()
                                                   : plan_->book.files[found->second].pageName;
}

std::string TFolderPages::Title() const
{
    const std::lock_guard lock(mutex_);
    return BookTextToUtf8(plan_->book.settings.header.title);
}

uint64_t TFolderPages::Generation() const
{
    return generation_.load();
}

bool TFolderPages::CheckForChanges(std::ostream& notes)
{
    const std::string now = Signature();
    const bool settled = now == lastSignature_;
    lastSignature_ = now;
    if (!settled || now == servedSignature_)
        return false;
    servedSignature_ = now;
    try {
        std::ostringstream said;
        auto plan = MakePlan(said, notes);
        {
            const std::lock_guard lock(mutex_);
            plan_ = std::move(plan);
        }
        ++generation_;
        notes << "Reloaded " << EscapeForTerminal(folder_.string()) << " (" << plan_->book.files.size() << " pages)"
              << std::endl;
    } catch (const Exception& error) {
        notes << EscapeForTerminal(error.Message(), LineBreaks::Keep, kDisplayDescriptionLength)
              << "; still serving the pages as they were" << std::endl;
    }
    return true;
}

TFolderWatch::TFolderWatch(TFolderPages& pages, std::ostream& notes, TAddWatch addWatch)
    : pages_(pages)
    , notes_(notes)
    , addWatch_(addWatch)
    , thread_([this] { Run(); })
{
}

void TFolderWatch::Run()
{
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    TFolderNotifications notifications(pages_.Folder(), notes_, addWatch_);
    // Looks still owed after the last change: a change is taken once two looks agree on it.
    int looksOwed = 0;
    // Without notifications every look walks the whole tree: they are spaced by what it costs.
    Clock::duration pollEvery = 2s;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        bool look = true;
        Clock::duration pause = 250ms;
        if (notifications.Watching() && looksOwed == 0) {
            // Nothing happens here while nothing changes; the wake-ups only notice the stop.
            look = notifications.Wait(250ms);
            if (look)
                looksOwed = 3;
        } else if (notifications.Watching()) {
            if (notifications.Wait(0ms))
                looksOwed = 3;
        } else {
            notifications.Wait(0ms); // takes what a partial watch still tells
            pause = pollEvery;
        }
        lock.lock();
        if (!look || stop_.wait_for(lock, pause, [this] { return stopping_; }))
            continue;
        lock.unlock();
        const Clock::time_point started = Clock::now();
        const bool changed = pages_.CheckForChanges(notes_);
        const Clock::duration cost = Clock::now() - started;
        pollEvery = std::max<Clock::duration>(2s, (pages_.ChangeUnsettled() ? 5 : 20) * cost);
        const bool burstOver = looksOwed > 0 && --looksOwed == 0;
        // Folders made by the change are watched from then on.
        if (changed || burstOver)
            notifications.WatchFolders();
        lock.lock();
    }
}

TFolderWatch::~TFolderWatch()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
}
