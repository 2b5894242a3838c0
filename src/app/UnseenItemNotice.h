#pragma once

#include "platform/DesktopNotifier.h"
#include "platform/ErrorLog.h"
#include "platform/PanelSetup.h"
#include "platform/StatusItem.h"

#include <QObject>

#include <functional>

/// Tells the user, once per start, when no panel of the desktop can show the item: a desktop
/// notification that says what this desktop needs, with a button where the program can make the
/// change itself; without a notification server, a line on standard error and in the journal.
class UnseenItemNotice : public QObject {
    Q_OBJECT
public:
    static constexpr auto summary = "Tavrink is running, but this desktop shows no panel icons";

    struct Parts {
        StatusItem& item;
        PanelSetup& setup;
        DesktopNotifier& notifier;
        ErrorLog& log;
        /// Writes a line to standard error.
        std::function<void(const QString&)> printError;
    };

    explicit UnseenItemNotice(Parts parts, QObject* parent = nullptr);

private:
    void onAdvised(const PanelSetup::Advice& advice);
    void onChanged(const QString& error);

    Parts m_parts;
    bool m_hasSpoken = false;
};
