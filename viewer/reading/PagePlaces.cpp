#include "viewer/reading/PagePlaces.h"
#include "viewer/reading/PageScript.h"

#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {

// Notes the place before a link to somewhere on the same page moves it.
const char* const kNoteBeforeJump = R"JS(
(function () {
  'use strict';
  window.ebookPlaceBeforeJump = null;
  const samePage = (a, b) => a.origin === b.origin && a.pathname === b.pathname && a.search === b.search;
  document.addEventListener('click', (event) => {
    const link = event.target && event.target.closest ? event.target.closest('a[href]') : null;
    if (!link) return;
    const target = new URL(link.href, location.href);
    if (target.hash && samePage(target, location))
      window.ebookPlaceBeforeJump = { url: location.href, x: window.scrollX, y: window.scrollY };
  }, true);
})();
)JS";

QPointF PointOf(const QVariant& answer)
{
    const QVariantList pair = answer.toList();
    return pair.size() == 2 ? QPointF(pair[0].toDouble(), pair[1].toDouble()) : QPointF();
}

} // namespace

TPagePlaces::TPagePlaces(QWebEnginePage& page)
    : QObject(&page)
    , Page(page)
{
    InstallPageScript(
        Page, QStringLiteral("ebook-page-places"), QString::fromLatin1(kNoteBeforeJump), EScriptFrames::TopOnly);
}

void TPagePlaces::Leaving(const QString& url, bool sameDocument)
{
    const QString question = sameDocument
        ? QStringLiteral("(function () { const p = window.ebookPlaceBeforeJump; window.ebookPlaceBeforeJump = null;"
                         " return p ? [p.x, p.y] : null; })()")
        : QStringLiteral("[window.scrollX, window.scrollY]");
    Page.runJavaScript(question, QWebEngineScript::ApplicationWorld, [this, url](const QVariant& answer) {
        if (answer.toList().size() == 2)
            memory_.Remember(url, PointOf(answer));
    });
}

void TPagePlaces::Expect(const QString& url)
{
    // Taken now, before the answers about the page being left come in.
    if (const auto position = memory_.Recall(url))
        expected_ = { url, *position };
    else
        expected_.reset();
}

void TPagePlaces::Arrived(const QString& url)
{
    if (!expected_ || expected_->first.compare(url, Qt::CaseInsensitive) != 0)
        return;
    const QPointF position = expected_->second;
    expected_.reset();
    Page.runJavaScript(QStringLiteral("window.scrollTo(%1, %2)").arg(position.x()).arg(position.y()),
        QWebEngineScript::ApplicationWorld);
}
