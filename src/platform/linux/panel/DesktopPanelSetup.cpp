#include "platform/linux/panel/DesktopPanelSetup.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// GNOME Shell's own name, and its interface for extensions.
const QString kShell = u"org.gnome.Shell"_s;
const QString kShellPath = u"/org/gnome/Shell"_s;
const QString kExtensions = u"org.gnome.Shell.Extensions"_s;
// GNOME Shell's ExtensionState: on, and the states it cannot leave by itself.
constexpr int kEnabled = 1;
constexpr int kError = 3;
constexpr int kOutOfDate = 4;
// GNOME 45 and later answer EnableExtension before the extension is on, and pass through
// "activating": its state is read again this often, this far apart, before it counts as refused.
constexpr int kStateReads = 20;
constexpr int kStateReadIntervalMs = 250;

QVariantMap info(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage ? qdbus_cast<QVariantMap>(reply.arguments().value(0))
                                                      : QVariantMap();
}

} // namespace

const QStringList DesktopPanelSetup::extensionIds
    = {u"appindicatorsupport@rgcjonas.gmail.com"_s, u"ubuntu-appindicators@ubuntu.com"_s};

DesktopPanelSetup::DesktopPanelSetup(QDBusConnection bus, QObject* parent)
    : PanelSetup(parent)
    , m_bus(std::move(bus))
{
}

void DesktopPanelSetup::call(const QString& method, const QVariantList& arguments, Answer answer,
                             const QString& interface)
{
    QDBusMessage message
        = QDBusMessage::createMethodCall(kShell, kShellPath, interface.isEmpty() ? kExtensions : interface, method);
    message.setArguments(arguments);
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(message, 5000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [pending, answer = std::move(answer)] {
        pending->deleteLater();
        answer(pending->reply());
    });
}

void DesktopPanelSetup::advise()
{
    m_extension.clear();
    const auto elsewhere = [this] {
        Q_EMIT advised({u"This desktop's panel has no system tray or status notifier area. Add one to the panel, "
                        "or run \"tavrink --print\" in a terminal to see the addresses."_s,
                        {}});
    };
    // GNOME Shell is the one that reports its version for extensions; other window managers built
    // on the same parts (Budgie's) may own its bus name without being it.
    call(
        u"Get"_s, {kExtensions, u"ShellVersion"_s},
        [this, elsewhere](const QDBusMessage& version) {
            if (version.type() == QDBusMessage::ReplyMessage)
                adviseOn(0);
            else
                elsewhere();
        },
        u"org.freedesktop.DBus.Properties"_s);
}

void DesktopPanelSetup::adviseOn(qsizetype index)
{
    if (index == extensionIds.size()) {
        Q_EMIT advised({u"GNOME shows panel icons only with its AppIndicator extension. Install it (on Debian and "
                        "Ubuntu, the package gnome-shell-extension-appindicator), then log out and in again."_s,
                        {}});
        return;
    }
    call(u"GetExtensionInfo"_s, {extensionIds.at(index)}, [this, index](const QDBusMessage& reply) {
        const QVariantMap extension = info(reply);
        if (extension.isEmpty()) {
            adviseOn(index + 1);
            return;
        }
        m_extension = extensionIds.at(index);
        call(
            u"Get"_s, {kExtensions, u"UserExtensionsEnabled"_s},
            [this, extension](const QDBusMessage& enabled) {
                const bool isAllowed = enabled.type() != QDBusMessage::ReplyMessage
                    || qdbus_cast<QDBusVariant>(enabled.arguments().value(0)).variant().toBool();
                if (extension.value(u"state"_s).toInt() == kEnabled && isAllowed) {
                    Q_EMIT advised({u"GNOME's AppIndicator extension is on but shows no icons yet. Logging out and in "
                                    "again usually mends it."_s,
                                    {}});
                    return;
                }
                Q_EMIT advised(
                    {u"GNOME shows panel icons through its AppIndicator extension, which is turned off. Turn "
                     "it on to see Tavrink in the top bar."_s,
                     u"Turn On"_s});
            },
            u"org.freedesktop.DBus.Properties"_s);
    });
}

void DesktopPanelSetup::change()
{
    if (m_extension.isEmpty()) {
        Q_EMIT changed(u"There is nothing Tavrink can turn on here."_s);
        return;
    }
    // Extensions as a whole may be off (GNOME's Extensions app has a switch for that): on first.
    call(
        u"Set"_s, {kExtensions, u"UserExtensionsEnabled"_s, QVariant::fromValue(QDBusVariant(true))},
        [this](const QDBusMessage&) { enableExtension(); }, u"org.freedesktop.DBus.Properties"_s);
}

void DesktopPanelSetup::enableExtension()
{
    // What the shell says it did is not taken on trust: the extension's state is read back.
    call(u"EnableExtension"_s, {m_extension}, [this](const QDBusMessage&) { readBackState(kStateReads); });
}

void DesktopPanelSetup::readBackState(int readsLeft)
{
    call(u"GetExtensionInfo"_s, {m_extension}, [this, readsLeft](const QDBusMessage& reply) {
        const QVariantMap extension = info(reply);
        const int state = extension.value(u"state"_s).toInt();
        const bool isSettled = extension.isEmpty() || state == kEnabled || state == kError || state == kOutOfDate;
        if (!isSettled && readsLeft > 1) {
            QTimer::singleShot(kStateReadIntervalMs, this, [this, readsLeft] { readBackState(readsLeft - 1); });
            return;
        }
        if (state == kEnabled)
            Q_EMIT changed({});
        else
            Q_EMIT changed(extension.isEmpty() ? u"GNOME's AppIndicator extension is no longer installed."_s
                                               : u"GNOME did not turn its AppIndicator extension on (%1)."_s.arg(
                                                   extension.value(u"error"_s).toString().isEmpty()
                                                       ? u"state %1"_s.arg(state)
                                                       : extension.value(u"error"_s).toString()));
    });
}
