#include "sources/FolderPreview.h"

#include "common/AnsiText.h"
#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "html/PageKind.h"

#include <chrono>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Asks for the generation four times a second and reloads the page when it moved on; a server
// that is gone is asked again less often.
constexpr std::string_view kReloadScript
    = "<script>(function(){var seen=\"%GEN%\";function ask(){fetch(\"/.ebook-preview/generation\","
      "{cache:\"no-store\"}).then(function(r){return r.text();}).then(function(now){if(now!==seen)"
      "location.reload();else setTimeout(ask,250);},function(){setTimeout(ask,1000);});}"
      "setTimeout(ask,250);})();</script>\n";

// The script goes before the last </body>, else at the end.
std::string WithReloadScript(std::string page, uint64_t generation)
{
    std::string script(kReloadScript);
    script.replace(script.find("%GEN%"), 5, std::to_string(generation));
    const std::size_t body = LowerCaseAscii(page).rfind("</body");
    page.insert(body == std::string::npos ? page.size() : body, script);
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

TFolderPages::TFolderPages(fs::path folder, CommandLine line, bool reload, std::ostream& out, std::ostream& notes)
    : folder_(std::move(folder))
    , line_(std::move(line))
    , reload_(reload)
{
    plan_ = MakePlan(out, notes);
    servedSignature_ = lastSignature_ = Signature();
}

std::shared_ptr<const TFolderPages::Plan> TFolderPages::MakePlan(std::ostream& out, std::ostream& notes) const
{
    auto plan = std::make_shared<Plan>();
    plan->book = PlanFolderBook(folder_, line_, {}, out, notes);
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
        const SourceRules rules = SourceRulesFor(plan->book.settings, line_);
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

TPageLookup TFolderPages::Lookup(std::string_view name)
{
    if (name == kPreviewGenerationPage && reload_)
        return { true, std::make_shared<const std::string>(std::to_string(Generation())) };
    const std::shared_ptr<const Plan> plan = [&] {
        const std::lock_guard lock(mutex_);
        return plan_;
    }();
    const auto found = plan->firstByFoldedName.find(FoldedBookText(name));
    if (found == plan->firstByFoldedName.end())
        return {};
    const uint64_t generation = Generation();
    try {
        std::string bytes = plan->book.PageBytes(found->second);
        if (reload_ && IsMarkupPage(plan->book.files[found->second].pageName))
            bytes = WithReloadScript(std::move(bytes), generation);
        return { true, std::make_shared<const std::string>(std::move(bytes)) };
    } catch (const Exception&) {
        return { true, nullptr }; // removed since the last look: not found until the next plan
    }
}

std::string TFolderPages::HomePageName() const
{
    const std::lock_guard lock(mutex_);
    const int32_t index = plan_->book.settings.header.homePageIndex;
    return index < 0 ? "/" : plan_->book.files[static_cast<std::size_t>(index)].pageName;
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
        notes << EscapeForTerminal(error.Message(), LineBreaks::Keep) << "; still serving the pages as they were"
              << std::endl;
    }
    return true;
}

TFolderWatch::TFolderWatch(TFolderPages& pages, std::ostream& notes)
    : pages_(pages)
    , notes_(notes)
    , thread_([this] {
        std::unique_lock lock(mutex_);
        while (!stop_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping_; })) {
            lock.unlock();
            pages_.CheckForChanges(notes_);
            lock.lock();
        }
    })
{
}

TFolderWatch::~TFolderWatch()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
}
