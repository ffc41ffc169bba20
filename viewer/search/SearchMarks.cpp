#include "viewer/search/SearchMarks.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// Text is compared folded (decomposed, marks dropped, lower case), each folded character keeping
// the place of the character it came from, so that a match is marked in the text as written.
constexpr const char* kScript = R"JS((function (terms, most) {
  const fold = (s) => s.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase();
  const escape = (s) => s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
  const words = terms.map(fold).filter((t) => t.trim() !== '')
    .map((t) => t.trim().split(/\s+/).map(escape).join('[^\\p{L}\\p{N}]+'));
  if (words.length === 0 || !document.body) return 0;
  const pattern = new RegExp('(?<![\\p{L}\\p{N}])(?:' + words.join('|') + ')[\\p{L}\\p{N}]*', 'gu');
  const skipped = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEXTAREA', 'TITLE']);
  const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  const nodes = [];
  for (let node = walker.nextNode(); node; node = walker.nextNode())
    if (!skipped.has(node.parentNode.nodeName)) nodes.push(node);
  let count = 0;
  let first = null;
  for (const node of nodes) {
    if (count >= most) break;
    const text = node.nodeValue;
    let folded = '';
    const origin = [];
    for (let i = 0; i < text.length; ) {
      const code = text.codePointAt(i);
      const size = code > 0xffff ? 2 : 1;
      const piece = fold(text.substr(i, size));
      for (let k = 0; k < piece.length; ++k) origin.push(i);
      folded += piece;
      i += size;
    }
    origin.push(text.length);
    const found = [];
    for (const match of folded.matchAll(pattern)) {
      if (match[0].length === 0) continue;
      found.push([origin[match.index], origin[match.index + match[0].length]]);
      if (count + found.length >= most) break;
    }
    let rest = node;
    let done = 0;
    for (const [start, end] of found) {
      const hit = rest.splitText(start - done);
      rest = hit.splitText(end - start);
      done = end;
      const mark = document.createElement('mark');
      mark.className = 'ebook-search-mark';
      hit.parentNode.replaceChild(mark, hit);
      mark.appendChild(hit);
      if (!first) first = mark;
      ++count;
    }
  }
  if (first) first.scrollIntoView({ block: 'center' });
  return count;
}))JS";

} // namespace

QString MarkSearchTermsScript(const QStringList& terms)
{
    const QString list
        = QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(terms)).toJson(QJsonDocument::Compact));
    return QString::fromUtf8(kScript) + QStringLiteral("(%1, %2)").arg(list).arg(kMostMarks);
}
