#pragma once

#include "platform/DesktopNotifier.h"
#include "platform/ErrorLog.h"

#include <QDBusConnection>
#include <QObject>

#include <chrono>
#include <map>

/// Notices through the desktop's notification server (org.freedesktop.Notifications on the
/// session bus). The server's signals are followed from the first notice on, so that a process
/// that sends none listens to nothing.
class FreedesktopNotifier : public QObject, public DesktopNotifier {
    Q_OBJECT
public:
    /// How long the server may take to accept a notice before it counts as hanging.
    static constexpr std::chrono::milliseconds replyTimeout{5000};

    /// The notices name the application by its desktop entry's id, and show the icon file given.
    FreedesktopNotifier(QDBusConnection bus, QString applicationId, QString iconPath, ErrorLog& log,
                        QObject* parent = nullptr);

    void notify(const Notice& notice, ActionHandler chosen = {}, std::function<void()> undelivered = {}) override;

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& key);
    void onClosed(uint id, uint reason);

private:
    void listen();

    QDBusConnection m_bus;
    QString m_applicationId;
    QString m_icon;
    ErrorLog& m_log;
    bool m_isListening = false;
    bool m_isWaiting = false;
    bool m_hasSaidNoServer = false;
    // The notices on screen that have buttons, by the server's id; the oldest go first past a few.
    std::map<uint, ActionHandler> m_handlers;
};
