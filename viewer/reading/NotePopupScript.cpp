// The script of the note popups, run in every document and frame before the page's own.
#include "viewer/reading/NotePopup.h"

namespace {

// EPUB marks notes with epub:type (an attribute in the OPS namespace in XHTML, a plain
// "epub:type" attribute where the page was read as HTML) and with ARIA roles.
const char* const kScript = R"JS(
(function () {
  'use strict';
  const ops = 'http://www.idpf.org/2007/ops';
  const hostId = 'ebook-note-popup';
  const noteTypes = ['footnote', 'endnote', 'rearnote', 'note'];
  const noteRoles = ['doc-footnote', 'doc-endnote'];

  function types(element) {
    const value = (element.getAttributeNS && element.getAttributeNS(ops, 'type'))
      || (element.getAttribute && element.getAttribute('epub:type')) || '';
    return value.split(/\s+/).filter((t) => t);
  }
  function isNoteReference(link) {
    return types(link).includes('noteref') || (link.getAttribute('role') || '') === 'doc-noteref';
  }
  function noteAround(element) {
    for (let e = element; e && e.nodeType === 1; e = e.parentElement) {
      if (types(e).some((t) => noteTypes.includes(t)) || noteRoles.includes(e.getAttribute('role') || ''))
        return e;
      if (e.tagName === 'BODY') break;
    }
    return null;
  }
  function targetIn(doc, id) {
    if (!id) return null;
    return doc.getElementById(id) || doc.getElementsByName(id)[0] || null;
  }

  function close() {
    const host = document.getElementById(hostId);
    if (host) host.remove();
  }
  // The box takes the page's ground and text, so that it reads as part of the page in every theme
  // (a white box over a dark page glares); a page that paints no ground gets a warm white.
  function colours() {
    const view = document.defaultView;
    for (const e of [document.body, document.documentElement]) {
      if (!e) continue;
      const parts = view.getComputedStyle(e).backgroundColor.match(/[\d.]+/g);
      if (!parts || (parts.length > 3 && Number(parts[3]) < 0.5)) continue;
      const [r, g, b] = parts.map(Number);
      const dark = (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255 < 0.4;
      return { ground: 'rgb(' + r + ', ' + g + ', ' + b + ')',
               text: view.getComputedStyle(document.body || e).color,
               link: dark ? 'rgb(138, 180, 248)' : 'rgb(0, 70, 160)' };
    }
    return { ground: 'rgb(255, 253, 245)', text: 'rgb(17, 17, 17)', link: 'rgb(0, 70, 160)' };
  }
  function show(link, note) {
    close();
    const paint = colours();
    const host = document.createElementNS('http://www.w3.org/1999/xhtml', 'div');
    host.id = hostId;
    host.setAttribute('role', 'note');
    const shadow = host.attachShadow({ mode: 'open' });
    const style = document.createElementNS('http://www.w3.org/1999/xhtml', 'style');
    style.textContent = ':host { all: initial; position: absolute; z-index: 2147483647; }'
      + ' .box { box-sizing: border-box; max-width: min(32em, 90vw); max-height: 40vh; overflow: auto;'
      + ' padding: 0.6em 2em 0.6em 0.9em; font: 15px/1.45 sans-serif; color: ' + paint.text + ';'
      + ' background: ' + paint.ground + '; border: 1px solid rgb(140, 140, 140); border-radius: 4px;'
      + ' box-shadow: 0 3px 12px rgba(0, 0, 0, 0.35); }'
      + ' .box * { max-width: 100%; } .box a { color: ' + paint.link + '; }'
      + ' .close { position: absolute; top: 2px; right: 4px; border: none; background: none;'
      + ' font: 18px sans-serif; color: ' + paint.text + '; cursor: pointer; }';
    const box = document.createElementNS('http://www.w3.org/1999/xhtml', 'div');
    box.className = 'box';
    for (const child of Array.from(note.childNodes)) box.appendChild(document.importNode(child, true));
    // The copy keeps no ids: the page's own ids stay unique.
    for (const e of box.querySelectorAll('[id]')) e.removeAttribute('id');
    const button = document.createElementNS('http://www.w3.org/1999/xhtml', 'button');
    button.className = 'close';
    button.textContent = '\u00d7';
    button.setAttribute('aria-label', 'Close the note');
    button.addEventListener('click', close);
    shadow.append(style, box, button);
    const view = document.defaultView;
    const place = link.getBoundingClientRect();
    host.style.setProperty('left', Math.max(4, Math.min(place.left, view.innerWidth - 300) + view.scrollX) + 'px', 'important');
    host.style.setProperty('top', (place.bottom + 4 + view.scrollY) + 'px', 'important');
    (document.body || document.documentElement).appendChild(host);
  }

  // A note of another page of the book: read from the book, as the server gives it.
  async function noteElsewhere(url) {
    try {
      const answer = await fetch(url.href.split('#')[0]);
      if (!answer.ok) return null;
      const text = await answer.text();
      const xml = /\.x?html?$/i.test(url.pathname) && /^\s*<\?xml/.test(text);
      let doc = new DOMParser().parseFromString(text, xml ? 'application/xhtml+xml' : 'text/html');
      if (doc.getElementsByTagName('parsererror').length)
        doc = new DOMParser().parseFromString(text, 'text/html');
      return noteAround(targetIn(doc, decodeURIComponent(url.hash.slice(1))));
    } catch (e) { return null; }
  }

  window.addEventListener('click', (event) => {
    const host = document.getElementById(hostId);
    if (host && event.composedPath().includes(host)) return;
    close();
    if (event.button !== 0 || event.ctrlKey || event.shiftKey || event.metaKey || event.altKey) return;
    const link = event.target && event.target.closest ? event.target.closest('a[href]') : null;
    if (!link) return;
    const url = new URL(link.getAttribute('href'), document.baseURI);
    if (!url.hash || url.origin !== location.origin) return;
    const here = url.pathname === location.pathname && url.search === location.search;
    if (here) {
      const note = noteAround(targetIn(document, decodeURIComponent(url.hash.slice(1))));
      if (!note || note.contains(link)) return;
      event.preventDefault();
      event.stopImmediatePropagation();
      show(link, note);
    } else if (isNoteReference(link)) {
      // Held until the note is read; a reference to nothing that is a note works as a link.
      event.preventDefault();
      event.stopImmediatePropagation();
      noteElsewhere(url).then((note) => { if (note) show(link, note); else location.href = url.href; });
    }
  }, true);
  window.addEventListener('keydown', (event) => {
    if (event.key === 'Escape' && document.getElementById(hostId)) {
      close();
      event.preventDefault();
      event.stopImmediatePropagation();
    }
  }, true);
})();
)JS";

} // namespace

QString NotePopupScript()
{
    return QString::fromLatin1(kScript);
}
