#include "browserhost/ApplicationTitle.h"

#include <QCoreApplication>
#include <QVariant>

namespace {
constexpr const char* kTitleProperty = "ebookApplicationTitle";
} // namespace

QString ApplicationTitle()
{
    return qApp != nullptr ? qApp->property(kTitleProperty).toString() : QString();
}

void SetApplicationTitle(const QString& title)
{
    if (qApp != nullptr)
        qApp->setProperty(kTitleProperty, title);
}
