// The script of the page colour modes (the dark reading mode and the sepia theme), run in every
// document and frame before the page's own.
#include "viewer/reading/DarkMode.h"

#include <QString>

namespace {

// Each colour the page sets (text, background, borders) gets its lightness turned over, its hue
// and saturation kept: white becomes black, dark grey light grey, pure red stays pure red. Only
// colours are rewritten, never the pixels drawn, so pictures, video, canvas, SVG and background
// images show exactly their own colours (a filter over the whole page, inverted once more over
// each picture, cannot: the first inversion clips saturated colours for good). A page that is
// already dark, and a frameset, which draws nothing of its own, are left as they are.
//
// Sepia maps each channel from black..white onto the theme's ink..paper, so a box the book paints
// white turns to paper and black text to ink, while colours keep their hue (a red stays red). The
// theme's sheet already gives the root and body paper and ink; colours that are the theme's own
// are left, so text that inherits the ink is not tinted twice.
//
// Colours are read for every element before any is written, so that an element never reads a
// colour it inherited already turned over; the values the page set inline are kept and put back
// when the mode goes off. Elements added later are turned as they come.
const char* const kScript = R"JS(
(function (startMode) {
  'use strict';
  const styleId = 'ebook-dark-reading-mode';
  const properties = ['color', 'background-color', 'border-top-color', 'border-right-color',
                      'border-bottom-color', 'border-left-color', 'outline-color'];
  const drawn = new Set(['IMG', 'VIDEO', 'CANVAS', 'PICTURE', 'IFRAME', 'FRAME', 'EMBED', 'OBJECT',
                         'svg', 'SVG', 'math', 'SCRIPT', 'STYLE', 'HEAD', 'META', 'LINK', 'TITLE']);

  function rgba(colour) {
    const parts = colour.match(/[\d.]+/g);
    if (!parts || parts.length < 3) return null;
    return [Number(parts[0]), Number(parts[1]), Number(parts[2]), parts.length > 3 ? Number(parts[3]) : 1];
  }
  // The colour with its lightness turned over, hue and saturation kept. Every ground ends dark
  // and every text light, so text stays readable wherever it sits: a ground that is dark already
  // (a heading's band, a code block) keeps its colour, text that is light already keeps its own,
  // and other text is kept light enough to read (a link's pure blue would stay as dark as it was).
  function turned(colour, property) {
    const c = rgba(colour);
    if (!c || c[3] === 0) return null;
    const [r, g, b] = c.slice(0, 3).map((v) => v / 255);
    const max = Math.max(r, g, b), min = Math.min(r, g, b);
    const lightness = (max + min) / 2;
    const text = property === 'color';
    if ((text && lightness >= 0.72) || (property === 'background-color' && lightness <= 0.5)) return null;
    let wanted = 1 - lightness;
    if (text) wanted = Math.max(wanted, 0.72);
    // Every channel moves by the same amount for the plain turn; a lighter text also scales the
    // distance from grey, as HSL does at the new lightness.
    const chroma = max - min;
    const room = 1 - Math.abs(2 * wanted - 1);
    const kept = 1 - Math.abs(2 * lightness - 1);
    const scale = kept > 0 ? Math.min(1, room / kept) : 1;
    const out = [r, g, b].map((v) => Math.round(255 * Math.min(1, Math.max(0, wanted + (v - lightness) * scale))));
    if (chroma === 0) out.fill(Math.round(255 * wanted));
    return c[3] < 1 ? 'rgba(' + out.join(', ') + ', ' + c[3] + ')' : 'rgb(' + out.join(', ') + ')';
  }

  // The colour the page is drawn on: the first of body and root that paints a background;
  // neither means the engine's white.
  function background(doc) {
    for (const element of [doc.body, doc.documentElement]) {
      if (!element) continue;
      const colour = rgba(doc.defaultView.getComputedStyle(element).backgroundColor);
      if (colour && colour[3] >= 0.5) return colour;
    }
    return [255, 255, 255, 1];
  }
  function alreadyDark(colour) {
    const [r, g, b] = colour;
    return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255 < 0.4;
  }

  const ink = %2, paper = %3;
  const themeOwn = new Set(['rgb(' + ink.join(', ') + ')', 'rgb(' + paper.join(', ') + ')']);
  function sepia(colour, text) {
    const c = rgba(colour);
    if (!c || c[3] === 0 || themeOwn.has(colour)) return null;
    // Text leans to the ink (each channel to the power 2.3), so a book's dark grey text stays as dark
    // against the paper as it was against white; the power greys a coloured text, so half of its
    // own colour (each channel's distance from its grey) is given back: a link stays blue.
    const grey = (c[0] + c[1] + c[2]) / 3;
    const out = [0, 1, 2].map((i) => {
      const t = c[i] / 255;
      const mapped = ink[i] + (text ? Math.pow(t, 2.3) : t) * (paper[i] - ink[i]);
      return Math.round(Math.min(255, Math.max(0, mapped + (text ? 0.5 * (c[i] - grey) : 0))));
    });
    return c[3] < 1 ? 'rgba(' + out.join(', ') + ', ' + c[3] + ')' : 'rgb(' + out.join(', ') + ')';
  }
  function rewritten(mode, colour, property) {
    return mode === 'sepia' ? sepia(colour, property === 'color') : turned(colour, property);
  }

  // Per document: the mode it is in, the inline values the page had, to put back, and the
  // observer of new elements.
  const states = new WeakMap();
  function state(doc) {
    let s = states.get(doc);
    if (!s) { s = { kept: new Map(), observer: null, mode: '', wanted: '', waiting: false }; states.set(doc, s); }
    return s;
  }

  // The search's marks keep the colours the reading style gives them, readable in every mode.
  const leftAlone = (e) => drawn.has(e.tagName) || (e.classList && e.classList.contains('ebook-search-mark'));
  function elementsUnder(root) {
    const found = [];
    const walker = root.ownerDocument.createTreeWalker(root, NodeFilter.SHOW_ELEMENT, {
      acceptNode: (e) => leftAlone(e) ? NodeFilter.FILTER_REJECT : NodeFilter.FILTER_ACCEPT });
    for (let e = walker.currentNode; e; e = walker.nextNode())
      if (!leftAlone(e)) found.push(e);
    return found;
  }
  // later: the elements come after the page was turned, so a colour they only inherit (or a
  // border in the text's colour) reads as turned already and is left alone.
  function turn(doc, elements, later) {
    const s = state(doc);
    const mode = s.mode;
    const view = doc.defaultView;
    const planned = elements.map((e) => {
      const style = view.getComputedStyle(e);
      const own = style.getPropertyValue('color');
      const inherited = later && e.parentElement && view.getComputedStyle(e.parentElement).color === own;
      return properties.map((p) => {
        const value = style.getPropertyValue(p);
        if (later && (p === 'color' ? inherited : p !== 'background-color' && value === own)) return null;
        return rewritten(mode, value, p);
      });
    });
    elements.forEach((e, i) => {
      if (!e.style) return;
      if (!s.kept.has(e))
        s.kept.set(e, properties.map((p) => [e.style.getPropertyValue(p), e.style.getPropertyPriority(p)]));
      properties.forEach((p, k) => { if (planned[i][k]) e.style.setProperty(p, planned[i][k], 'important'); });
    });
  }
  function restore(doc) {
    const s = state(doc);
    if (s.observer) { s.observer.disconnect(); s.observer = null; }
    s.kept.forEach((values, e) => {
      properties.forEach((p, k) => {
        if (values[k][0]) e.style.setProperty(p, values[k][0], values[k][1]); else e.style.removeProperty(p);
      });
    });
    s.kept.clear();
    s.mode = '';
  }

  // Shown dark while the page loads, so that it never flashes light; gone once it is measured.
  function holdDark(doc, hold) {
    let present = doc.getElementById(styleId);
    if (!hold) { if (present) present.remove(); return; }
    if (present || !doc.documentElement) return;
    present = doc.createElement('style');
    present.id = styleId;
    present.textContent = 'html { background-color: rgb(0, 0, 0) !important; }';
    doc.documentElement.appendChild(present);
  }

  function switchDocument(doc, mode) {
    const s = state(doc);
    s.wanted = mode;
    if (s.mode === mode && !s.waiting) return;
    if (!mode || (doc.body && doc.body.tagName === 'FRAMESET')) {
      holdDark(doc, false);
      restore(doc);
      return;
    }
    if (doc.readyState === 'loading') {
      holdDark(doc, mode === 'dark');
      if (!s.waiting) {
        s.waiting = true;
        doc.addEventListener('DOMContentLoaded', () => { s.waiting = false; switchDocument(doc, s.wanted); });
      }
      return;
    }
    holdDark(doc, false);
    if (s.mode) restore(doc);
    // The root and body take the sepia sheet's paper and ink; the dark mode leaves a dark page.
    if (mode === 'dark' && alreadyDark(background(doc))) return;
    s.mode = mode;
    const root = doc.documentElement;
    turn(doc, elementsUnder(root).filter((e) => mode !== 'sepia' || (e !== root && e !== doc.body)), false);
    // A root and body that paint nothing show the engine's white: the root gets its opposite.
    if (mode === 'dark' && (!rgba(getComputedStyle(root).backgroundColor)
                            || rgba(getComputedStyle(root).backgroundColor)[3] === 0)) {
      const body = doc.body && rgba(getComputedStyle(doc.body).backgroundColor);
      if (!body || body[3] === 0) root.style.setProperty('background-color', 'rgb(0, 0, 0)', 'important');
    }
    s.observer = new doc.defaultView.MutationObserver((records) => {
      const added = [];
      for (const record of records)
        for (const node of record.addedNodes)
          if (node.nodeType === 1 && !leftAlone(node)) added.push(...elementsUnder(node));
      if (added.length) turn(doc, added.filter((e) => !s.kept.has(e)), true);
    });
    s.observer.observe(root, { childList: true, subtree: true });
  }
  function switchAll(win, mode) {
    try { switchDocument(win.document, mode); } catch (e) { }
    for (let i = 0; i < win.frames.length; ++i) {
      try { switchAll(win.frames[i], mode); } catch (e) { }
    }
  }

  // mode: 'dark', 'sepia', or '' for the page's own colours.
  window.ebookPageColours = function (mode) { switchAll(window, mode); };
  if (startMode) switchDocument(document, startMode);
})('%1');
)JS";

// The colour as a script's list of its channels: "[244, 236, 216]".
QString ChannelList(const QColor& colour)
{
    return QStringLiteral("[%1, %2, %3]").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

} // namespace

QString PageColoursScript(EPageColours colours)
{
    return QString::fromLatin1(kScript).arg(PageColoursName(colours), ChannelList(kSepiaInk), ChannelList(kSepiaPaper));
}

QString CssRgb(const QColor& colour)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

QString PageColoursName(EPageColours colours)
{
    switch (colours) {
    case EPageColours::Dark:
        return QStringLiteral("dark");
    case EPageColours::Sepia:
        return QStringLiteral("sepia");
    case EPageColours::Own:
        break;
    }
    return QString();
}
