// TEmbeddedBrowser, continued: keys, the owner window's focus, downloads.
#include "browserhost/EmbeddedBrowser.h"

#include "browserhost/ApplicationTitle.h"
#include "browserhost/BrowserView.h"
#include "print/DialogPolicy.h"

#include <QApplication>
#include <QChildEvent>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QWebEngineDownloadRequest>
#include <QWindow>

namespace {

QWidget* WidgetOfWindow(const QWindow* window)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}

} // namespace

bool TEmbeddedBrowser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::ChildAdded)
        WatchForKeys(static_cast<QChildEvent*>(event)->child());
    if (watched != view_ && event->type() == QEvent::KeyPress)
        return OfferKey(*static_cast<QKeyEvent*>(event));
    return QFrame::eventFilter(watched, event);
}

void TEmbeddedBrowser::WatchForKeys(QObject* child)
{
    if (child->isWidgetType())
        child->installEventFilter(this);
}

bool TEmbeddedBrowser::OfferKey(const QKeyEvent& key)
{
    const bool cursorKey
        = (key.key() == Qt::Key_Left || key.key() == Qt::Key_Right) && !key.modifiers().testFlag(Qt::KeypadModifier);
    if (key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter || cursorKey)
        return false;
    return TranslateAccelerator(key) == S_OK;
}

void TEmbeddedBrowser::FocusWindowChanged(QWindow* window)
{
    const QWindow* previous = focusWindow_;
    focusWindow_ = window;
    const QWidget* owner = this->window();
    if (window == nullptr || previous == nullptr || owner == nullptr || previous != owner->windowHandle())
        return;
    QWidget* gaining = WidgetOfWindow(window);
    if (gaining == nullptr)
        return;
    if (ReplaceCaption && qobject_cast<QDialog*>(gaining) != nullptr) {
        QString caption = gaining->windowTitle();
        if (const qsizetype at = caption.indexOf(QStringLiteral("Microsoft ")); at >= 0)
            caption.remove(at, 10);
        if (const qsizetype at = caption.indexOf(QStringLiteral("Internet Explorer")); at >= 0)
            caption.replace(at, 17, ApplicationTitle());
        gaining->setWindowTitle(caption);
        gaining->setWindowIcon(QApplication::windowIcon());
    }
    if (OnShowDialog)
        OnShowDialog(this, gaining);
}

void TEmbeddedBrowser::DownloadRequested(QWebEngineDownloadRequest* download)
{
    QString target;
    if (OnChooseDownloadFile) {
        target = OnChooseDownloadFile(download->downloadFileName());
    } else if (ModalBoxesCanBeAnswered()) {
        target = QFileDialog::getSaveFileName(
            this, ApplicationTitle(), QDir::home().filePath(download->downloadFileName()));
    }
    if (target.isEmpty()) {
        download->cancel();
        return;
    }
    const QFileInfo file(target);
    download->setDownloadDirectory(file.absolutePath());
    download->setDownloadFileName(file.fileName());
    download->accept();
}
