#include "viewer/FormActivation.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

constexpr const char* kViewerFormProperty = "ebookViewerForm";

QWidget* WidgetOfWindow(QWindow* window)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}

} // namespace

TFormActivation::TFormActivation(QWidget& mainForm, std::function<void()> activate, std::function<void()> deactivate)
    : QObject(&mainForm)
    , MainForm(mainForm)
    , Activate(std::move(activate))
    , Deactivate(std::move(deactivate))
{
    MarkAsViewerForm(mainForm);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TFormActivation::FocusWindowChanged);
}

void TFormActivation::MarkAsViewerForm(QWidget& form)
{
    form.setProperty(kViewerFormProperty, true);
}

void TFormActivation::FocusWindowChanged(QWindow* window)
{
    if (window == nullptr)
        return; // the focus left the program
    QWidget* form = WidgetOfWindow(window);
    if (form == &MainForm) {
        Activate();
    } else if (form != nullptr && form->property(kViewerFormProperty).toBool()) {
        form->installEventFilter(this);
        Deactivate();
    }
}

bool TFormActivation::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched != &MainForm) {
        watched->removeEventFilter(this);
        Activate();
    }
    return QObject::eventFilter(watched, event);
}
