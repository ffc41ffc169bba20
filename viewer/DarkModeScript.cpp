// The script of the dark reading mode, run in every document and frame before the page's own.
#include "DarkMode.h"

#include <QString>

namespace {

// Inverting the lightness and turning the hues back keeps a page's design and contrast; what
// shows the world (pictures, video, canvas, embedded frames that decide for themselves) is
// inverted once more, back to its own colours. A frameset draws nothing of its own: its frames
// decide for themselves.
const char* const kScript = R"JS(
(function (startOn) {
  'use strict';
  const styleId = 'ebook-dark-reading-mode';
  const css = 'html { filter: invert(1) hue-rotate(180deg) !important; }\n'
    + 'img, video, canvas, embed, object, iframe { filter: invert(1) hue-rotate(180deg) !important; }\n';

  // The colour the page is drawn on: the first of body and root that paints a background;
  // neither means the engine's white.
  function luminance(colour) {
    const parts = colour.match(/[\d.]+/g);
    if (!parts || parts.length < 3) return null;
    if (parts.length > 3 && Number(parts[3]) < 0.5) return null;
    const [r, g, b] = parts.slice(0, 3).map(Number);
    return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
  }
  function alreadyDark(doc) {
    for (const element of [doc.body, doc.documentElement]) {
      if (!element) continue;
      const value = luminance(doc.defaultView.getComputedStyle(element).backgroundColor);
      if (value !== null) return value < 0.4;
    }
    return false;
  }

  function style(doc) { return doc.getElementById(styleId); }
  function switchDocument(doc, on) {
    const present = style(doc);
    // The filter does not change the computed background, so this holds with the style on too.
    const wanted = on && !(doc.body && doc.body.tagName === 'FRAMESET')
      && !(doc.readyState !== 'loading' && alreadyDark(doc));
    if (wanted && !present) {
      const added = doc.createElement('style');
      added.id = styleId;
      added.textContent = css;
      (doc.head || doc.documentElement).appendChild(added);
    } else if (!wanted && present) {
      present.remove();
    }
  }
  function switchAll(win, on) {
    try { switchDocument(win.document, on); } catch (e) { }
    for (let i = 0; i < win.frames.length; ++i) {
      try { switchAll(win.frames[i], on); } catch (e) { }
    }
  }

  window.ebookDarkReadingMode = function (on) { switchAll(window, on); };
  if (startOn) {
    // Before the page draws, so that it never flashes light; measured again once it has its
    // colours.
    if (document.documentElement) switchDocument(document, true);
    document.addEventListener('DOMContentLoaded', () => switchDocument(document, true));
    window.addEventListener('load', () => switchDocument(document, true));
  }
})(%1);
)JS";

} // namespace

QString DarkModeScript(bool on)
{
    return QString::fromLatin1(kScript).arg(on ? QStringLiteral("true") : QStringLiteral("false"));
}
