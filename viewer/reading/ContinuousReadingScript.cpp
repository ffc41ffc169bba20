// The script of continuous reading, run in each page (not its frames) before the page's own.
#include "viewer/reading/ContinuousReading.h"

#include <QString>

namespace {

// The listeners are the window's, in the bubbling phase: the page's own handlers have had the
// event first, and one that took it (defaultPrevented) keeps it. Inner boxes that scroll on their
// own are asked before the window: the page turns only when neither can move further that way.
const char* const kScript = R"JS(
(function () {
  'use strict';
  if (window.ebookContinuousReading) return;
  window.ebookContinuousReading = true;
  const prefix = 'ebook-reading %TOKEN% ';
  const tell = (what) => console.log(prefix + what);
  const kPause = 300; // ms without wheel movement that make the next push a deliberate one
  const kSlack = 2; // px: fractional scroll positions at high zoom never quite reach the end

  const root = () => document.scrollingElement || document.documentElement;
  const windowAt = (way) => {
    const s = root();
    if (!s) return true;
    return way > 0 ? window.scrollY + window.innerHeight >= s.scrollHeight - kSlack : window.scrollY <= kSlack;
  };
  // Whether a box from the element up that scrolls on its own can still move that way.
  const innerCanMove = (element, way) => {
    for (let e = element; e && e !== document.body && e !== document.documentElement; e = e.parentElement) {
      if (!(e instanceof Element) || e.scrollHeight <= e.clientHeight + kSlack) continue;
      const overflow = getComputedStyle(e).overflowY;
      if (overflow !== 'auto' && overflow !== 'scroll') continue;
      if (way > 0 ? e.scrollTop + e.clientHeight < e.scrollHeight - kSlack : e.scrollTop > kSlack) return true;
    }
    return false;
  };
  const atEdge = (element, way) => windowAt(way) && !innerCanMove(element, way);

  // Fields take every key; links, buttons and the like take Space; lists and sliders the arrows.
  const typing = (e) => e && e instanceof Element && (e.isContentEditable
      || /^(INPUT|TEXTAREA|SELECT)$/.test(e.tagName)
      || /^(textbox|searchbox|combobox|spinbutton|slider|listbox|menu|grid|tree)$/.test(e.getAttribute('role') || ''));
  const pressable = (e) => e && e instanceof Element && (typing(e)
      || /^(A|BUTTON|SUMMARY|AUDIO|VIDEO|OBJECT|EMBED|IFRAME)$/.test(e.tagName)
      || /^(button|checkbox|radio|switch|link|tab|option|menuitem)$/.test(e.getAttribute('role') || ''));

  // One request while the next page loads; at the book's first or last page nothing loads, and
  // the reader may ask again.
  let turning = false;
  const turn = (way) => {
    if (turning) return;
    turning = true;
    setTimeout(() => { turning = false; }, 500);
    tell(way > 0 ? 'next' : 'previous');
  };

  window.addEventListener('keydown', (event) => {
    if (event.key === 'Escape' && !event.defaultPrevented) tell('escape');
    if (event.defaultPrevented || event.repeat || event.ctrlKey || event.altKey || event.metaKey) return;
    let way = 0;
    if (event.key === ' ') way = event.shiftKey ? -1 : 1;
    else if (!event.shiftKey && (event.key === 'PageDown' || event.key === 'ArrowDown')) way = 1;
    else if (!event.shiftKey && (event.key === 'PageUp' || event.key === 'ArrowUp')) way = -1;
    if (way === 0) return;
    const target = event.target instanceof Element ? event.target : document.activeElement;
    for (const e of [target, document.activeElement]) {
      if (event.key === ' ' ? pressable(e) : typing(e)) return;
    }
    if (atEdge(target, way)) turn(way);
  });

  let lastWheel = -Infinity;
  let armed = 0; // the way a movement that ended at the page's edge pushed
  window.addEventListener('wheel', (event) => {
    const pause = event.timeStamp - lastWheel >= kPause;
    lastWheel = event.timeStamp;
    if (event.defaultPrevented || event.ctrlKey || event.deltaY === 0
        || Math.abs(event.deltaX) > Math.abs(event.deltaY)) {
      armed = 0;
      return;
    }
    const way = event.deltaY > 0 ? 1 : -1;
    if (!atEdge(event.target, way)) {
      armed = 0;
      return;
    }
    if (armed === way && pause) {
      armed = 0;
      turn(way);
      return;
    }
    armed = way;
  }, { passive: true });

  let percent = -1;
  let pending = false;
  const report = () => {
    pending = false;
    const s = root();
    if (!s) return;
    const room = s.scrollHeight - window.innerHeight;
    const now = room <= kSlack ? 100 : Math.max(0, Math.min(100, Math.round(100 * window.scrollY / room)));
    if (now !== percent) {
      percent = now;
      tell('progress ' + now);
    }
  };
  const soon = () => {
    if (!pending) {
      pending = true;
      requestAnimationFrame(report);
    }
  };
  window.addEventListener('scroll', soon, { passive: true });
  window.addEventListener('resize', soon);
  window.addEventListener('load', soon);
  document.addEventListener('DOMContentLoaded', soon);
  window.ebookReadingReport = () => { percent = -1; report(); };
})();
)JS";

} // namespace

QString ContinuousReadingScript(const QString& token)
{
    return QString::fromLatin1(kScript).replace(QStringLiteral("%TOKEN%"), token);
}
