// The script of the dark reading mode, run in every document and frame before the page's own.
#include "viewer/reading/DarkMode.h"

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
  function rgb(colour) {
    const parts = colour.match(/[\d.]+/g);
    if (!parts || parts.length < 3) return null;
    if (parts.length > 3 && Number(parts[3]) < 0.5) return null;
    return parts.slice(0, 3).map(Number);
  }
  function background(doc) {
    for (const element of [doc.body, doc.documentElement]) {
      if (!element) continue;
      const colour = rgb(doc.defaultView.getComputedStyle(element).backgroundColor);
      if (colour) return colour;
    }
    return [255, 255, 255];
  }
  function alreadyDark(colour) {
    const [r, g, b] = colour;
    return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255 < 0.4;
  }

  function switchDocument(doc, on) {
    let present = doc.getElementById(styleId);
    if (!on || (doc.body && doc.body.tagName === 'FRAMESET')) {
      if (present) present.remove();
      return;
    }
    const frame = doc.defaultView !== doc.defaultView.top;
    // Measured without the style where it sets the root's colour (in a frame); until the page
    // has its colours it counts as light.
    if (present && frame) present.disabled = true;
    const colour = doc.readyState === 'loading' ? [255, 255, 255] : background(doc);
    if (present) present.disabled = false;
    if (doc.readyState !== 'loading' && alreadyDark(colour)) {
      if (present) present.remove();
      return;
    }
    let text = css;
    // A frame's filter does not reach the canvas behind its root, which would stay light: the
    // root gets the page's colour already inverted, which the canvas then shows as it is.
    if (frame) {
      const [r, g, b] = colour.map((value) => 255 - value);
      text += 'html { background-color: rgb(' + r + ',' + g + ',' + b + ') !important; }\n';
    }
    // An unchanged style stays, so that the page is not styled anew.
    if (present && present.textContent === text) return;
    if (!present) {
      present = doc.createElement('style');
      present.id = styleId;
      (doc.head || doc.documentElement).appendChild(present);
    }
    present.textContent = text;
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
  }
})(%1);
)JS";

} // namespace

QString DarkModeScript(bool on)
{
    return QString::fromLatin1(kScript).arg(on ? QStringLiteral("true") : QStringLiteral("false"));
}
