#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class SingleInstance;

/// What happens once launching has finished: the offers to move the bundle somewhere it can
/// update itself, then the requests of later launches (reopen, addresses to open), then the
/// automatic update checks. Every request that does anything ends in the settings window.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    struct Parts {
        /// Each true when it took over and the application is ending.
        std::function<bool()> offerToRelocate;
        std::function<bool()> offerUserInstall;
        /// Where reopen and open requests come from; none: only the command line's addresses.
        SingleInstance* requests = nullptr;
        std::function<void()> openSettingsWindow;
        std::function<void()> startUpdateChecks;
    };

    explicit AppDelegate(Parts parts, QObject* parent = nullptr);

    /// The launch sequence: false when an offer took over and the application is ending.
    bool applicationDidFinishLaunching();
    /// A reopen request: the settings window.
    void handleReopen();
    /// The address rule, for each address in order.
    void open(const QStringList& urls);

    /// Whether the address opens the settings window: it parses as a URL whose host is exactly
    /// "settings", or whose percent-decoded path contains "settings". Nothing else opens anything.
    static bool opensSettings(const QString& url);

private:
    Parts m_parts;
};
