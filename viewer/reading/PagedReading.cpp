#include "viewer/reading/PagedReading.h"
#include "viewer/reading/PageScript.h"

#include <QWebEnginePage>

namespace {

// A page is the window's width: the columns of one screen. The counter is a shadow tree of its
// own, like the note popup, fixed in the corner.
const char* const kScript = R"JS(
(function () {
  'use strict';
  const counterId = 'ebook-page-counter';
  const root = () => document.scrollingElement || document.documentElement;
  const paged = () => document.documentElement
    && getComputedStyle(document.documentElement).getPropertyValue('--ebook-paged').trim() === '1';
  const width = () => window.innerWidth;
  const count = () => Math.max(1, Math.round(root().scrollWidth / width()));
  const current = () => Math.min(count(), Math.floor((root().scrollLeft + width() / 2) / width()) + 1);

  function showCounter() {
    let host = document.getElementById(counterId);
    if (!paged()) { if (host) host.remove(); return; }
    if (!host) {
      host = document.createElementNS('http://www.w3.org/1999/xhtml', 'div');
      host.id = counterId;
      host.attachShadow({ mode: 'open' });
      host.style.setProperty('position', 'fixed', 'important');
      host.style.setProperty('right', '12px', 'important');
      host.style.setProperty('bottom', '6px', 'important');
      host.style.setProperty('z-index', '2147483646', 'important');
      (document.body || document.documentElement).appendChild(host);
    }
    const text = 'page ' + current() + ' of ' + count();
    host.shadowRoot.innerHTML = '<span style="font: 12px sans-serif; color: rgb(90, 90, 90);'
      + ' background: rgba(255, 255, 255, 0.8); padding: 1px 6px; border-radius: 3px">' + text + '</span>';
    host.setAttribute('aria-label', text);
  }
  function turnTo(page) {
    const last = count();
    page = Math.max(1, Math.min(last, page));
    root().scrollLeft = (page - 1) * width();
    root().scrollTop = 0;
    showCounter();
  }
  window.addEventListener('keydown', (event) => {
    if (!paged() || event.ctrlKey || event.altKey || event.metaKey || event.defaultPrevented) return;
    const target = event.target;
    if (target && (target.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(target.tagName))) return;
    const page = current();
    let wanted = 0;
    switch (event.key) {
      case ' ': wanted = event.shiftKey ? page - 1 : page + 1; break;
      case 'PageDown': case 'ArrowRight': case 'ArrowDown': wanted = page + 1; break;
      case 'PageUp': case 'ArrowLeft': case 'ArrowUp': wanted = page - 1; break;
      case 'Home': wanted = 1; break;
      case 'End': wanted = count(); break;
      default: return;
    }
    // Past either end the key is the page's, as when scrolling.
    if (wanted < 1 || wanted > count()) return;
    event.preventDefault();
    event.stopImmediatePropagation();
    turnTo(wanted);
  }, true);
  window.addEventListener('resize', () => { if (paged()) turnTo(current()); else showCounter(); });
  document.addEventListener('DOMContentLoaded', showCounter);
  window.addEventListener('load', showCounter);
  // The reading style calls this when its sheet changes.
  window.ebookPagedRefresh = showCounter;
})();
)JS";

} // namespace

QString PagedReadingScript()
{
    return QString::fromLatin1(kScript);
}

TPagedReading::TPagedReading(QWebEnginePage& page)
    : QObject(&page)
{
    InstallPageScript(page, QStringLiteral("ebook-paged-reading"), PagedReadingScript(), EScriptFrames::TopOnly);
}
