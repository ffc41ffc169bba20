#include "viewer/app/AssistiveTechnology.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

#include <cstdlib>
#include <cstring>

namespace {

const char* const kAtSpiService = "org.a11y.Bus";
const char* const kRendererAccessibility = "--force-renderer-accessibility";

bool StatusSays(const QString& property)
{
    QDBusMessage ask = QDBusMessage::createMethodCall(QString::fromLatin1(kAtSpiService),
        QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << QStringLiteral("org.a11y.Status") << property;
    // A bus that answers at all answers at once; a hung one must not hold the window back.
    const QDBusReply<QDBusVariant> reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 500);
    return reply.isValid() && reply.value().variant().toBool();
}

} // namespace

bool AssistiveTechnologyIsOn()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr)
        return false;
    const QDBusReply<bool> running = bus.interface()->isServiceRegistered(QString::fromLatin1(kAtSpiService));
    if (!running.isValid() || !running.value())
        return false;
    return StatusSays(QStringLiteral("ScreenReaderEnabled")) || StatusSays(QStringLiteral("IsEnabled"));
}

std::string FlagsWithPageAccessibility(const std::string& flags)
{
    if (flags.find(kRendererAccessibility) != std::string::npos)
        return flags;
    return flags.empty() ? std::string(kRendererAccessibility) : flags + " " + kRendererAccessibility;
}

void ExposePageToAssistiveTechnology()
{
    const char* asked = std::getenv("EBOOK_ACCESSIBILITY");
    const bool on = asked != nullptr && *asked != '\0' ? std::strcmp(asked, "0") != 0 : AssistiveTechnologyIsOn();
    if (!on)
        return;
    const char* flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", FlagsWithPageAccessibility(flags ? flags : "").c_str(), 1);
}
