#include "sources/SettingsFileReading.h"

#include "common/Exception.h"

#include <deque>
#include <vector>

namespace {

constexpr std::size_t kMostContentsLevels = 64;

// Takes the parser's events: the members other than "contents" are built as JSON values; the
// contents go straight into entries, each checked as it closes.
class TSettingsEvents : public nlohmann::json::json_sax_t {
public:
    explicit TSettingsEvents(const std::string& fileName)
        : fileName_(fileName)
        , where_(fileName + ": \"contents\" ")
    {
    }

    TSettingsFileText read;
    std::string error; // why the events stopped the parse
    bool notAnObject = false;

    bool null() override { return Scalar(nullptr); }
    bool boolean(bool value) override { return Scalar(value); }
    bool number_integer(number_integer_t value) override { return Scalar(value); }
    bool number_unsigned(number_unsigned_t value) override { return Scalar(value); }
    bool number_float(number_float_t value, const string_t&) override { return Scalar(value); }
    bool binary(binary_t&) override { return Scalar(nullptr); }
    bool string(string_t& value) override { return Scalar(std::move(value)); }

    bool start_object(std::size_t) override { return Open(false); }
    bool start_array(std::size_t) override { return Open(true); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }

    bool key(string_t& name) override
    {
        if (skipDepth_ > 0)
            return true;
        if (!frames_.empty()) {
            Frame& top = frames_.back();
            top.expect = name == "title" ? Expect::Title
                : name == "page"         ? Expect::Page
                : name == "children"     ? Expect::Children
                                         : Expect::Other;
            if (top.expect == Expect::Other)
                NoteWrongKey(top, name);
            return true;
        }
        contentsNext_ = open_.size() == 1 && name == "contents";
        key_ = std::move(name);
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& failure) override
    {
        error = fileName_ + ": not valid JSON: " + failure.what();
        return false;
    }

private:
    enum class Expect { Other, Title, Page, Children };
    // A list of entries (list set) or an entry being read.
    struct Frame {
        TContents* list = nullptr;
        std::size_t depth = 0; // of the list's entries, or of the entry
        TContentsEntry entry;
        Expect expect = Expect::Other;
        bool titled = false; // a title text was read
        bool titleWrong = false; // a title that is no text
        std::string wrongKey; // the first by name, as the keys are checked in order of name
    };

    static void NoteWrongKey(Frame& entry, const std::string& name)
    {
        if (entry.wrongKey.empty() || name < entry.wrongKey)
            entry.wrongKey = name;
    }

    bool Fail(const std::string& why)
    {
        error = where_ + why;
        return false;
    }

    // A value that is no object or list.
    bool Scalar(nlohmann::json value)
    {
        if (skipDepth_ > 0)
            return true;
        if (contentsNext_)
            return Fail("must be a list of entries");
        if (!frames_.empty())
            return ContentsScalar(std::move(value));
        if (open_.empty()) {
            notAnObject = true;
            return true;
        }
        Place(std::move(value));
        return true;
    }

    bool ContentsScalar(nlohmann::json value)
    {
        Frame& top = frames_.back();
        if (top.list != nullptr)
            return Fail("entries must be objects with a \"title\" text");
        switch (top.expect) {
        case Expect::Title:
            if (value.is_string()) {
                top.entry.title = std::move(value.get_ref<std::string&>());
                top.titled = true;
            } else {
                top.titleWrong = true;
            }
            break;
        case Expect::Page:
            if (!value.is_string()) {
                NoteWrongKey(top, "page");
                break;
            }
            {
                const std::string page = value.get<std::string>();
                const std::size_t hash = page.find('#');
                top.entry.page = page.substr(0, hash);
                if (hash != std::string::npos)
                    top.entry.anchor = page.substr(hash + 1);
            }
            break;
        case Expect::Children:
            return Fail("must be a list of entries");
        case Expect::Other:
            break;
        }
        return true;
    }

    bool Open(bool list)
    {
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return true;
        }
        if (contentsNext_) {
            contentsNext_ = false;
            if (!list)
                return Fail("must be a list of entries");
            read.contents.emplace();
            frames_.push_back({});
            frames_.back().list = &*read.contents;
            return true;
        }
        if (!frames_.empty())
            return OpenInContents(list);
        if (open_.empty()) {
            // The file's one value: an object of settings, or passed over and refused after.
            if (list) {
                notAnObject = true;
                skipDepth_ = 1;
            } else {
                open_.push_back(&read.members);
            }
            return true;
        }
        open_.push_back(&Place(list ? nlohmann::json::array() : nlohmann::json::object()));
        return true;
    }

    bool OpenInContents(bool list)
    {
        Frame& top = frames_.back();
        if (top.list != nullptr) {
            if (list)
                return Fail("entries must be objects with a \"title\" text");
            const std::size_t depth = top.depth;
            frames_.push_back({});
            frames_.back().depth = depth;
            return true;
        }
        switch (top.expect) {
        case Expect::Children: {
            if (!list)
                return Fail("must be a list of entries");
            if (top.depth + 1 > kMostContentsLevels)
                return Fail("nests deeper than " + std::to_string(kMostContentsLevels) + " levels");
            top.entry.children.clear();
            Frame children;
            children.list = &top.entry.children;
            children.depth = top.depth + 1;
            frames_.push_back(std::move(children));
            return true;
        }
        case Expect::Title:
            top.titleWrong = true;
            break;
        case Expect::Page:
            NoteWrongKey(top, "page");
            break;
        case Expect::Other:
            break;
        }
        skipDepth_ = 1;
        return true;
    }

    bool Close()
    {
        if (skipDepth_ > 0) {
            --skipDepth_;
            return true;
        }
        if (frames_.empty()) {
            open_.pop_back();
            return true;
        }
        if (frames_.back().list != nullptr) {
            frames_.pop_back();
            return true;
        }
        Frame& done = frames_.back();
        if (!done.titled || done.titleWrong)
            return Fail("entries must be objects with a \"title\" text");
        if (!done.wrongKey.empty())
            return Fail("entry \"" + done.entry.title + "\": unknown key or wrong type of \"" + done.wrongKey + "\"");
        if (done.entry.page.empty() && done.entry.children.empty())
            return Fail("entry \"" + done.entry.title + "\" names no page and holds no entries");
        TContentsEntry entry = std::move(done.entry);
        frames_.pop_back();
        frames_.back().list->push_back(std::move(entry));
        return true;
    }

    // Puts a value where the open member or list takes it.
    nlohmann::json& Place(nlohmann::json value)
    {
        nlohmann::json& container = *open_.back();
        if (container.is_array()) {
            container.push_back(std::move(value));
            return container.back();
        }
        nlohmann::json& slot = container[key_];
        slot = std::move(value);
        return slot;
    }

    const std::string fileName_;
    const std::string where_;
    std::vector<nlohmann::json*> open_; // the members' objects and lists being built, outermost first
    std::string key_; // of the member whose value comes next
    bool contentsNext_ = false; // the next value is the file's "contents"
    std::deque<Frame> frames_; // the contents being read; a deque keeps each entry where it is
    std::size_t skipDepth_ = 0; // levels of a value being passed over
};

} // namespace

TSettingsFileText ReadSettingsFile(const std::string& fileName, std::string_view text)
{
    TSettingsEvents events(fileName);
    // The parser keeps its nesting in a list of its own, not in recursion, so depth costs nothing.
    if (!nlohmann::json::sax_parse(text, &events))
        throw Exception(events.error);
    if (events.notAnObject)
        throw Exception(fileName + ": must hold one JSON object of settings");
    return std::move(events.read);
}
