#include "print/DialogPolicy.h"

#include <QGuiApplication>

bool ModalBoxesCanBeAnswered()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}
