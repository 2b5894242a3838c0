#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ErrorLog;
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
        /// The running bundle; empty when Tavrink does not run from one.
        QString bundlePath;
        /// Tells the desktop where this copy lies (application menu, tavrink: links, activation):
        /// why not, on failure, for the log.
        std::function<std::optional<QString>()> registerDesktopEntry;
        ErrorLog* log = nullptr;
    };

    /// Under Wayland only the focused client may set the clipboard, and a panel item has no
    /// focus: it runs through XWayland where there is one, unless the user chose a platform.
    /// Before the application object exists.
    static void chooseDisplayServer();
    /// The single instance claimed for a launch with these addresses: the exit status when this
    /// process ends here (handed over, or refused), nothing when it goes on. say() tells the user.
    static std::optional<int> claimInstance(SingleInstance& instance, const QStringList& urls,
                                            const std::function<void(const QString&)>& say);

    explicit AppDelegate(Parts parts, QObject* parent = nullptr);

    /// The launch sequence: false when an offer took over and the application is ending.
    bool applicationDidFinishLaunching();
    /// Once, whichever asks first (the item in the panel, or a moment without a host): the launch
    /// sequence, then the command line's addresses, then the desktop entries, which a package's
    /// copy has from its package instead.
    void finishLaunching(const QStringList& urls);
    /// A reopen request: the settings window.
    void handleReopen();
    /// The address rule, for each address in order.
    void open(const QStringList& urls);

    /// Whether the address opens the settings window: it parses as a URL whose host is exactly
    /// "settings", or whose percent-decoded path contains "settings". Nothing else opens anything.
    static bool opensSettings(const QString& url);

private:
    Parts m_parts;
    bool m_isLaunched = false;
};
