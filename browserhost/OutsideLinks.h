#pragma once

#include <QUrl>

#include <functional>

// Addresses that lie outside the site the browser shows its pages from: the reader's own web
// browser or mail program opens them, never the book's window.

// Whether a navigation to url leaves ownSite (same scheme, host and port stay inside). Addresses
// the engine makes for itself (about:, data:, blob:) stay inside; with no own site set nothing is
// outside.
bool LeadsOutside(const QUrl& url, const QUrl& ownSite);

// The site part of an address: scheme, host and port.
QUrl SiteOf(const QUrl& url);

// Gives whether a program could be started for the address.
using TOutsideOpener = std::function<bool(const QUrl& url)>;

// Hands the address to the desktop (the user's browser or mail program); false when no program
// could be started for it.
bool OpenOutside(const QUrl& url);
// Puts another opener in the desktop's place (tests record what was asked) and gives back the
// one it replaces; an empty opener restores the desktop.
TOutsideOpener SetOutsideOpener(TOutsideOpener opener);
