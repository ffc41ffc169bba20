// The script of the reading style, run in every document and frame before the page's own.
#include "viewer/reading/ReadingStyle.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// The sheet goes last in the document, after the book's own sheets, so that it wins where both
// say !important. A document has no root element yet when the script starts: the sheet waits for
// one, and moves to the end again once the head's sheets are all in.
const char* const kScript = R"JS(
(function (sheet) {
  'use strict';
  const styleId = 'ebook-reading-style';
  function place(doc, text) {
    let style = doc.getElementById(styleId);
    const root = doc.documentElement;
    if (!root) return;
    if (!style) {
      style = doc.createElementNS('http://www.w3.org/1999/xhtml', 'style');
      style.id = styleId;
    }
    if (style.textContent !== text) style.textContent = text;
    if (root.lastElementChild !== style) root.appendChild(style);
    if (doc === document && window.ebookPagedRefresh) window.ebookPagedRefresh();
  }
  function placeEverywhere(win, text) {
    try { win.ebookReadingSheet = text; place(win.document, text); } catch (e) { }
    for (let i = 0; i < win.frames.length; ++i) {
      try { placeEverywhere(win.frames[i], text); } catch (e) { }
    }
  }
  // The latest sheet: a document still loading when it changes ends with it.
  window.ebookReadingSheet = sheet;
  window.ebookReadingStyleEverywhere = function () { placeEverywhere(window, sheet); };
  if (window.ebookReadingStyleSet) return;
  window.ebookReadingStyleSet = true;
  if (document.documentElement) place(document, sheet);
  else {
    const waiting = new MutationObserver(() => {
      if (!document.documentElement) return;
      waiting.disconnect();
      place(document, window.ebookReadingSheet);
    });
    waiting.observe(document, { childList: true });
  }
  document.addEventListener('DOMContentLoaded', () => place(document, window.ebookReadingSheet));
})(%1)
)JS";

} // namespace

QString ReadingStyleScript(const QString& sheet)
{
    const QByteArray quoted = QJsonDocument(QJsonArray { sheet }).toJson(QJsonDocument::Compact);
    // The array's one element, as a script's string literal.
    const QString literal = QString::fromUtf8(quoted.mid(1, quoted.size() - 2));
    return QString::fromLatin1(kScript).arg(literal);
}
