#pragma once

#include <QList>
#include <QString>

#include <functional>

/// A passing message from the desktop's own notification server, with buttons of its own.
struct Notice {
    struct Action {
        /// What choosing the button reports back.
        QString key;
        QString label;
    };

    QString summary;
    QString body;
    QList<Action> actions;
};

/// Shows notices without waiting for the desktop: a server that hangs or is missing blocks
/// nothing, and its failures are recorded rather than shown.
class DesktopNotifier {
public:
    using ActionHandler = std::function<void(const QString& key)>;

    virtual ~DesktopNotifier() = default;

    /// Sends the notice; `chosen` is called with the key of the button the user chooses, if any,
    /// and `undelivered` when no server shows it. While the server has not yet taken an earlier
    /// notice, a new one is dropped (undelivered) rather than queued.
    virtual void notify(const Notice& notice, ActionHandler chosen = {}, std::function<void()> undelivered = {}) = 0;
};
