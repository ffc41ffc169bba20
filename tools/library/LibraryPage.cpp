#include "tools/library/LibraryPage.h"

#include "html/HtmlEscape.h"
#include "tools/library/CatalogText.h"
#include "tools/library/OpdsCatalog.h"

#include <set>

namespace {

constexpr std::string_view kStyle
    = "body{font-family:sans-serif;max-width:50em;margin:auto;padding:0 1em;line-height:1.4}"
      "form{display:flex;gap:.5em}form input{flex:1;font-size:1em;padding:.3em}"
      "ul.books{list-style:none;padding:0}ul.books li{display:flex;gap:.8em;margin:1em 0}"
      "ul.books img{width:48px;height:48px;flex:none;object-fit:contain}small{color:#555}"
      "nav a{margin-right:.6em}#suggestions{margin:.2em 0}";

// Titles suggested while the reader types, each a link to its page; without script the form
// alone searches.
constexpr std::string_view kSuggestScript
    = "<script>(function(){var f=document.getElementById('search'),q=f.q,"
      "l=document.getElementById('suggestions'),u=f.action.replace(/\\.search$/,'.suggest'),n=0;"
      "q.addEventListener('input',function(){var m=++n;if(!q.value.trim()){l.textContent='';return}"
      "fetch(u+'?limit=8&q='+encodeURIComponent(q.value)).then(function(r){return r.json()})"
      ".then(function(j){if(m!==n)return;l.textContent='';j.suggestions.forEach(function(s){"
      "var a=document.createElement('a'),i=document.createElement('li');a.href=s.link;"
      "a.textContent=s.title+' \\u2014 '+s.bookTitle;i.appendChild(a);l.appendChild(i)})})"
      ".catch(function(){})})})()</script>";

std::string Head(std::string_view title, const std::string& root)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
           "content=\"width=device-width,initial-scale=1\"><title>"
        + std::string(title) + "</title><link rel=\"alternate\" type=\"" + std::string(kOpdsType) + "\" href=\"" + root
        + "/.opds\"><link rel=\"search\" type=\"" + std::string(kOpenSearchType) + "\" href=\"" + root
        + "/.opensearch.xml\" title=\"Library\"><style>" + std::string(kStyle) + "</style></head><body>";
}

std::string SearchForm(const std::string& root)
{
    return "<form id=\"search\" action=\"" + root
        + "/.search\" role=\"search\"><input name=\"q\" type=\"search\" placeholder=\"Search every book\" "
          "autocomplete=\"off\" aria-label=\"Search every book\"><button>Search</button></form>";
}

std::string BookItem(const TLibraryBook& book, const std::string& root)
{
    const std::string name = EscapeHtml(book.name);
    std::string item = "<li><img src=\"" + root + "/.icon/" + name + "\" alt=\"\"><div><a href=\"" + root + "/" + name
        + "/\"><b>" + EscapeHtml(book.title) + "</b></a>";
    if (!book.description.empty())
        item += "<br>" + EscapeHtml(book.description);
    item += "<br><small>";
    if (!book.language.empty())
        item += EscapeHtml(book.language) + " &middot; ";
    item += std::to_string(book.pageCount) + (book.pageCount == 1 ? " page" : " pages") + "</small></div></li>";
    return item;
}

} // namespace

std::string LibraryPage(const TLibraryShelf& shelf, std::string_view urlRoot, std::string_view language)
{
    const std::string root = EscapeHtml(urlRoot);
    std::string page = Head("Library", root) + "<h1>Library</h1>" + SearchForm(root) + "<ul id=\"suggestions\"></ul>";
    std::set<std::string> languages;
    for (const std::shared_ptr<const TLibraryBook>& book : shelf)
        if (!book->language.empty())
            languages.insert(book->language);
    if (languages.size() > 1 || !language.empty()) {
        page += "<nav>Language: <a href=\"" + root + "/\">all</a>";
        for (const std::string& each : languages)
            page += " <a href=\"" + root + "/?lang=" + EscapeHtml(EscapeQueryValue(each)) + "\""
                + (each == language ? " aria-current=\"page\"" : "") + ">" + EscapeHtml(each) + "</a>";
        page += "</nav>";
    }
    std::string items;
    std::size_t shown = 0;
    for (const std::shared_ptr<const TLibraryBook>& book : shelf) {
        if (!IsLanguage(book->language, language))
            continue;
        items += BookItem(*book, root);
        ++shown;
    }
    if (shown == 0)
        page += "<p>No books" + (language.empty() ? std::string() : " in " + EscapeHtml(language)) + ".</p>";
    else
        page += "<ul class=\"books\">" + items + "</ul>";
    page += "<p><small><a href=\"" + root + "/.opds\">Catalog for e-reader apps (OPDS)</a></small></p>";
    return page + std::string(kSuggestScript) + "</body></html>";
}

std::string LibraryBar(std::string_view urlRoot)
{
    const std::string root = EscapeHtml(urlRoot);
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
           "content=\"width=device-width,initial-scale=1\"><title>Library</title><style>"
           "body{font-family:sans-serif;margin:0;padding:.3em .6em;display:flex;gap:.6em;align-items:center}"
           "form{display:flex;gap:.3em;flex:1}input{flex:1}</style></head><body><a href=\""
        + root + "/\" target=\"_top\">Library</a><form action=\"" + root
        + "/.search\" target=\"_top\"><input name=\"q\" type=\"search\" aria-label=\"Search every book\">"
          "<button>Search</button></form></body></html>";
}
