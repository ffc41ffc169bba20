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

bool StatusSays(QDBusConnection& bus, const QString& property)
{
    QDBusMessage ask = QDBusMessage::createMethodCall(QString::fromLatin1(kAtSpiService),
        QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << QStringLiteral("org.a11y.Status") << property;
    // A bus that answers at all answers at once; a hung one must not hold the window back.
    const QDBusReply<QDBusVariant> reply = bus.call(ask, QDBus::Block, 500);
    return reply.isValid() && reply.value().variant().toBool();
}

} // namespace

bool AssistiveTechnologyIsOn()
{
    // Asked before the application object exists (the engine reads its flags as that is made), on
    // a connection of its own that is closed again, so that Qt's own use of the bus starts afresh.
    const QString name = QStringLiteral("ebook-assistive-technology");
    bool on = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        if (bus.isConnected() && bus.interface() != nullptr) {
            const QDBusReply<bool> running = bus.interface()->isServiceRegistered(QString::fromLatin1(kAtSpiService));
            on = running.isValid() && running.value()
                && (StatusSays(bus, QStringLiteral("ScreenReaderEnabled"))
                    || StatusSays(bus, QStringLiteral("IsEnabled")));
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return on;
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
