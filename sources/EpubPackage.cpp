#include "sources/EpubPackage.h"

#include "common/DisplayText.h"
#include "common/Exception.h"
#include "html/Blanks.h"
#include "sources/LinkResolution.h"

#include <map>
#include <pugixml.hpp>

namespace {

constexpr const char* kContainerPath = "META-INF/container.xml";

// Elements nested deeper than this are not looked into: a hostile document must not exhaust the
// stack of the functions below, which walk the tree recursively.
constexpr int kMaxDepth = 128;

// The container, the package document and the navigation are parsed whole, at several times
// their size: one larger than this (a few kilobytes of zip can inflate to hundreds of megabytes
// of empty elements) is not parsed. Real ones are a few hundred kilobytes at most.
constexpr std::size_t kMaxXmlBytes = 16u << 20;

// The table of contents keeps at most this many entries, nested at most this deep; what lies
// beyond is left out (every spine document is still linked from the contents page).
constexpr int kMaxNavEntries = 20000;
constexpr int kMaxNavDepth = 32;

// A label is shown in a list: kept to what a list can show.
constexpr std::size_t kMaxLabelCharacters = 4 * kDisplayTextLength;
// Authors beyond these are not named.
constexpr std::size_t kMaxCreators = 64;

// Element names compare without their namespace prefix ("opf:item", "dc:title").
std::string_view LocalName(const pugi::xml_node& node)
{
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node FindFirst(const pugi::xml_node& root, std::string_view localName, int depth = 0)
{
    if (depth > kMaxDepth)
        return {};
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && LocalName(child) == localName)
            return child;
        if (const pugi::xml_node found = FindFirst(child, localName, depth + 1))
            return found;
    }
    return {};
}

std::vector<pugi::xml_node> Children(const pugi::xml_node& parent, std::string_view localName)
{
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && LocalName(child) == localName)
            found.push_back(child);
    }
    return found;
}

pugi::xml_node FirstChild(const pugi::xml_node& parent, std::string_view localName)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && LocalName(child) == localName)
            return child;
    }
    return {};
}

// An attribute by its local name ("epub:type" answers to "type").
std::string Attribute(const pugi::xml_node& node, std::string_view localName)
{
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        std::string_view name = attribute.name();
        const std::size_t colon = name.find(':');
        if (colon != std::string_view::npos && !name.starts_with("xmlns"))
            name = name.substr(colon + 1);
        if (name == localName)
            return attribute.value();
    }
    return {};
}

void AppendText(const pugi::xml_node& node, std::string& text, int depth)
{
    if (depth > kMaxDepth)
        return;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += child.value();
        else
            AppendText(child, text, depth + 1);
    }
}

std::string TextOf(const pugi::xml_node& node)
{
    std::string text;
    AppendText(node, text, 0);
    return CollapseBlanks(text);
}

bool HasWord(const std::string& list, std::string_view word)
{
    std::size_t start = 0;
    while (start < list.size()) {
        const std::size_t end = std::min(list.find(' ', start), list.size());
        if (std::string_view(list).substr(start, end - start) == word)
            return true;
        start = end + 1;
    }
    return false;
}

pugi::xml_document ParseXml(const EpubFileReader& read, const std::string& path, const std::string& source)
{
    const auto text = read(path);
    if (!text)
        throw Exception("Cannot read " + source + " as an EPUB: it has no " + path);
    if (text->size() > kMaxXmlBytes)
        throw Exception("Refusing " + source + ": " + path + " holds " + std::to_string(text->size())
            + " bytes, more than the " + std::to_string(kMaxXmlBytes) + " a package document may hold");
    pugi::xml_document document;
    const pugi::xml_parse_result parsed
        = document.load_buffer(text->data(), text->size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!parsed)
        throw Exception("Cannot read " + source + " as an EPUB: " + path + " is not well-formed XML ("
            + parsed.description() + ")");
    return document;
}

// Counts the entries the table of contents may still take.
struct NavBudget {
    int left = kMaxNavEntries;
};

// Each list item is visited once and only its own children are looked at, so the walk costs time
// in proportion to the items, however they nest.
std::vector<EpubNavPoint> NavList(const pugi::xml_node& list, const std::string& base, NavBudget& budget, int depth = 0)
{
    std::vector<EpubNavPoint> points;
    if (depth >= kMaxNavDepth)
        return points;
    for (pugi::xml_node item = list.first_child(); item && budget.left > 0; item = item.next_sibling()) {
        if (item.type() != pugi::node_element || LocalName(item) != "li")
            continue;
        --budget.left;
        EpubNavPoint point;
        for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
            const std::string_view name = LocalName(child);
            if (name == "a" || name == "span") {
                point.label = CutForDisplay(TextOf(child), kMaxLabelCharacters);
                if (name == "a")
                    point.path = ResolveEpubHref(base, Attribute(child, "href"), &point.fragment).value_or("");
            } else if ((name == "ol" || name == "ul") && point.children.empty()) {
                point.children = NavList(child, base, budget, depth + 1);
            }
        }
        if (!point.label.empty() || !point.children.empty())
            points.push_back(std::move(point));
    }
    return points;
}

std::vector<EpubNavPoint> NcxPoints(
    const pugi::xml_node& parent, const std::string& base, NavBudget& budget, int depth = 0)
{
    std::vector<EpubNavPoint> points;
    if (depth >= kMaxNavDepth)
        return points;
    for (pugi::xml_node navPoint = parent.first_child(); navPoint && budget.left > 0;
         navPoint = navPoint.next_sibling()) {
        if (navPoint.type() != pugi::node_element || LocalName(navPoint) != "navPoint")
            continue;
        --budget.left;
        EpubNavPoint point;
        // The label is the navLabel's own text element: never searched for in the navPoint's
        // subtree, which holds every entry below it.
        point.label = CutForDisplay(TextOf(FirstChild(FirstChild(navPoint, "navLabel"), "text")), kMaxLabelCharacters);
        if (const pugi::xml_node content = FirstChild(navPoint, "content"))
            point.path = ResolveEpubHref(base, Attribute(content, "src"), &point.fragment).value_or("");
        point.children = NcxPoints(navPoint, base, budget, depth + 1);
        if (!point.label.empty() || !point.path.empty() || !point.children.empty())
            points.push_back(std::move(point));
    }
    return points;
}

// Parses a navigation file, or nothing when it is missing, too large or not XML.
std::optional<pugi::xml_document> ParseNavigation(const EpubFileReader& read, const std::string& path)
{
    const auto text = read(path);
    if (!text || text->size() > kMaxXmlBytes)
        return std::nullopt;
    std::optional<pugi::xml_document> document(std::in_place);
    if (!document->load_buffer(text->data(), text->size(), pugi::parse_default | pugi::parse_ws_pcdata))
        return std::nullopt;
    return document;
}

// The first <nav> typed "toc", else the first <nav>, in one walk of the document.
pugi::xml_node TocNav(const pugi::xml_node& root)
{
    pugi::xml_node first;
    pugi::xml_node toc;
    std::function<void(const pugi::xml_node&, int)> walk = [&](const pugi::xml_node& node, int depth) {
        for (pugi::xml_node child = node.first_child(); child && !toc && depth < kMaxDepth;
             child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            if (LocalName(child) == "nav") {
                if (!first)
                    first = child;
                if (HasWord(Attribute(child, "type"), "toc")) {
                    toc = child;
                    return;
                }
            }
            walk(child, depth + 1);
        }
    };
    walk(root, 0);
    return toc ? toc : first;
}

// The table of contents of an EPUB 3 navigation document: the list of the <nav> typed "toc",
// else of the first.
std::vector<EpubNavPoint> ReadNavDocument(const EpubFileReader& read, const std::string& path)
{
    const auto document = ParseNavigation(read, path);
    if (!document)
        return {};
    const pugi::xml_node nav = TocNav(*document);
    const pugi::xml_node list = nav ? FindFirst(nav, "ol") : pugi::xml_node();
    NavBudget budget;
    return list ? NavList(list, path, budget) : std::vector<EpubNavPoint>();
}

std::vector<EpubNavPoint> ReadNcx(const EpubFileReader& read, const std::string& path)
{
    const auto document = ParseNavigation(read, path);
    if (!document)
        return {};
    const pugi::xml_node navMap = FindFirst(*document, "navMap");
    NavBudget budget;
    return navMap ? NcxPoints(navMap, path, budget) : std::vector<EpubNavPoint>();
}

} // namespace

std::optional<std::string> ResolveEpubHref(const std::string& base, const std::string& href, std::string* fragment)
{
    const std::size_t hash = href.find('#');
    if (fragment != nullptr)
        *fragment = hash == std::string::npos ? "" : href.substr(hash);
    // An archive path is a page name without its leading "/"; a folder is no file of the archive.
    const auto place = ResolvePageLink("/" + base, href);
    if (!place || place->page.ends_with('/'))
        return std::nullopt;
    return place->page.substr(1);
}

EpubPackage ReadEpubPackage(const EpubFileReader& read, const std::string& source)
{
    EpubPackage package;
    const pugi::xml_document container = ParseXml(read, kContainerPath, source);
    const pugi::xml_node rootfile = FindFirst(container, "rootfile");
    package.packagePath = ResolveEpubHref("", Attribute(rootfile, "full-path"), nullptr).value_or("");
    if (package.packagePath.empty())
        throw Exception("Cannot read " + source + " as an EPUB: " + kContainerPath + " names no package document");
    const pugi::xml_document opf = ParseXml(read, package.packagePath, source);
    const std::string& base = package.packagePath;

    std::string coverId;
    if (const pugi::xml_node metadata = FindFirst(opf, "metadata")) {
        for (pugi::xml_node node = metadata.first_child(); node; node = node.next_sibling()) {
            const std::string_view name = LocalName(node);
            std::string* field = name == "title" ? &package.title
                : name == "description"          ? &package.description
                : name == "date"                 ? &package.date
                : name == "language"             ? &package.language
                                                 : nullptr;
            // What a package says of itself is shown, not read at length: it is kept as long as a
            // list can show it (a description as long as the About box shows).
            if (field != nullptr && field->empty())
                *field = CutForDisplay(
                    TextOf(node), field == &package.description ? kDisplayDescriptionLength : kMaxLabelCharacters);
            if (name == "creator" && package.creators.size() < kMaxCreators) {
                if (std::string creator = CutForDisplay(TextOf(node), kMaxLabelCharacters); !creator.empty())
                    package.creators.push_back(std::move(creator));
            }
            if (name == "meta" && Attribute(node, "name") == "cover")
                coverId = Attribute(node, "content");
        }
    }

    struct Item {
        std::string path;
        std::string mediaType;
    };
    std::map<std::string, Item> manifest;
    std::string& navPath = package.navPath;
    if (const pugi::xml_node list = FindFirst(opf, "manifest")) {
        for (const pugi::xml_node& item : Children(list, "item")) {
            const auto path = ResolveEpubHref(base, Attribute(item, "href"), nullptr);
            if (!path)
                continue;
            manifest[Attribute(item, "id")] = { *path, Attribute(item, "media-type") };
            const std::string properties = Attribute(item, "properties");
            if (HasWord(properties, "nav"))
                navPath = *path;
            if (HasWord(properties, "cover-image"))
                package.coverImage = *path;
        }
    }
    if (package.coverImage.empty() && manifest.contains(coverId))
        package.coverImage = manifest[coverId].path;

    if (const pugi::xml_node spine = FindFirst(opf, "spine")) {
        const std::string tocId = Attribute(spine, "toc");
        if (manifest.contains(tocId))
            package.ncxPath = manifest[tocId].path;
        for (const pugi::xml_node& itemref : Children(spine, "itemref")) {
            const auto found = manifest.find(Attribute(itemref, "idref"));
            if (found != manifest.end())
                package.spine.push_back(found->second.path);
        }
    }
    if (package.ncxPath.empty()) {
        for (const auto& [id, item] : manifest) {
            if (item.mediaType == "application/x-dtbncx+xml")
                package.ncxPath = item.path;
        }
    }
    if (const pugi::xml_node guide = FindFirst(opf, "guide")) {
        for (const pugi::xml_node& reference : Children(guide, "reference")) {
            const std::string type = Attribute(reference, "type");
            if (type == "cover")
                package.coverPage = ResolveEpubHref(base, Attribute(reference, "href"), nullptr).value_or("");
            else if (type == "toc")
                package.guideContents = ResolveEpubHref(base, Attribute(reference, "href"), nullptr).value_or("");
        }
    }

    if (!navPath.empty())
        package.contents = ReadNavDocument(read, navPath);
    if (package.contents.empty() && !package.ncxPath.empty())
        package.contents = ReadNcx(read, package.ncxPath);
    return package;
}
