#pragma once

#include <QObject>

#include <functional>

class QWidget;
class QWindow;

// Tells when the main form becomes the application's focused form and when another of the
// viewer's own forms (the About box) takes the focus from it. Focus moving to menus, tooltips,
// message boxes, the print or file dialogs, or to other programs changes nothing; a form of the
// viewer closing hands the activation back to the main form at once, even where the window
// system gives it no focus.
class TFormActivation : public QObject {
    Q_OBJECT
public:
    TFormActivation(QWidget& mainForm, std::function<void()> activate, std::function<void()> deactivate);

    // Makes a window one of the viewer's forms.
    static void MarkAsViewerForm(QWidget& form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FocusWindowChanged(QWindow* window);

    QWidget& MainForm;
    std::function<void()> Activate;
    std::function<void()> Deactivate;
};
