#pragma once

class QWebEnginePage;
class QWebEngineProfile;

// Qt WebEngine 6.4 crashes when a page is destroyed while it renders a PDF, even once its view has
// gone (seen on this machine). Printing tells here which pages are rendering, and the browser lets
// its page go through RetirePage, which keeps a page that is still rendering until the engine has
// answered. UI thread only.
void PdfRenderingStarted(QWebEnginePage* page);
// Called with the rendering's answer, whatever it is.
void PdfRenderingEnded(QWebEnginePage* page);

// Deletes the page and then its profile: at once, or when the page has a rendering under way, once
// that has ended. Until then the page is frozen (no scripts, no loads), so that it calls nobody,
// and both are taken from their parents.
void RetirePage(QWebEnginePage* page, QWebEngineProfile* profile);
