#include "viewer/reading/ContinuousReading.h"
#include "viewer/reading/PageScript.h"

#include "browserhost/EmbeddedBrowser.h"

#include <QRandomGenerator>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {

// A token no page can guess, so that a page's own console lines are never taken for the host's.
QString NewToken()
{
    QRandomGenerator* random = QRandomGenerator::system();
    return QString::number(random->generate64(), 36) + QString::number(random->generate64(), 36);
}

} // namespace

TContinuousReading::TContinuousReading(QWebEnginePage& page, TEmbeddedBrowser& browser)
    : QObject(&page)
    , Page(page)
    , prefix_(QStringLiteral("ebook-reading %1 ").arg(NewToken()))
{
    InstallPageScript(Page, QStringLiteral("ebook-continuous-reading"),
        ContinuousReadingScript(prefix_.section(u' ', 1, 1)), EScriptFrames::TopOnly);
    connect(&browser, &TEmbeddedBrowser::consoleMessage, this, &TContinuousReading::Heard);
    connect(&Page, &QWebEnginePage::loadFinished, this, &TContinuousReading::Loaded);
}

void TContinuousReading::Heard(const QString& message)
{
    if (!message.startsWith(prefix_))
        return;
    const QString what = message.mid(prefix_.size());
    if (what == QStringLiteral("next")) {
        emit turnAsked(1);
    } else if (what == QStringLiteral("previous")) {
        emit turnAsked(-1);
    } else if (what == QStringLiteral("escape")) {
        emit escapeUnclaimed();
    } else if (what.startsWith(QStringLiteral("progress "))) {
        bool number = false;
        const int percent = what.mid(9).toInt(&number);
        if (number && percent >= 0 && percent <= 100) {
            percent_ = percent;
            emit scrolled(percent);
        }
    }
}

void TContinuousReading::Loaded(bool ok)
{
    if (!openAtEnd_ || Page.isLoading())
        return;
    openAtEnd_ = false;
    if (ok)
        Page.runJavaScript(QStringLiteral("window.scrollTo(window.scrollX, (document.scrollingElement || "
                                          "document.documentElement).scrollHeight); window.ebookReadingReport && "
                                          "window.ebookReadingReport()"),
            QWebEngineScript::ApplicationWorld);
}
