#pragma once

#include <QByteArray>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <variant>

namespace UpdateFolder {
class Attempt;
}
class AlertPresenter;
class BundleReplacer;
class Clock;
class ClockTimer;
class DefaultsStore;
class ErrorLog;
class HttpsRequest;
class UpdateHelper;
class QNetworkAccessManager;

/// Keeps Tavrink current from the maker's update manifest: a quiet check 30 seconds after
/// start() and every 24 hours after that (on a clock that counts while the machine sleeps), and
/// one on request. A newer release is offered; accepted, it is downloaded, verified and put in
/// place of the running bundle, which is started again while this process quits.
class UpdateChecker : public QObject {
    Q_OBJECT
public:
    /// The newest release as the manifest names it.
    struct Manifest {
        QString version;
        QUrl url;
        std::optional<QString> notes;
    };
    struct Parts {
        QNetworkAccessManager& network;
        Clock& clock;
        AlertPresenter& alerts;
        ErrorLog& log;
        DefaultsStore& settings;
        BundleReplacer& replacer;
        /// The maker's key, the only signer whose updates are installed: the base64 line of its
        /// public key file.
        QByteArray pinnedKey;
        /// The running bundle; empty when Tavrink does not run from one.
        QString bundlePath;
        /// The user's cache folder; every file of an update lives in tavrink/update inside it.
        QString cacheFolder;
        /// The update helper that unpacks, verifies and stages a download: the running copy's.
        QString helperPath;
        /// The authorities to trust; the program's own rules when absent.
        std::optional<QSslConfiguration> tls;
        /// A helper still running after this long is stopped, and the update fails.
        std::chrono::milliseconds helperTimeLimit = std::chrono::minutes(5);
    };

    /// The built-in manifest address, used unless the UpdateManifestURL setting names another.
    static constexpr auto defaultManifestURL = "https://kelvandrosi.com/tavrink/appcast.json";
    static constexpr qint64 maximumManifestBytes = 64 * 1024;
    static constexpr qint64 maximumArchiveBytes = qint64(256) << 20;

    explicit UpdateChecker(Parts parts, QObject* parent = nullptr);
    ~UpdateChecker() override;

    /// Starts the schedule of automatic checks.
    void start();
    /// Starts a check unless one is running (then nothing happens). An interactive check says
    /// every outcome; an automatic one only offers a newer release.
    void check(bool interactive);
    bool isChecking() const { return m_isChecking; }

    /// Whether candidate is strictly newer than reference: dot-separated decimal components
    /// compared in order, a missing one counting as 0, one that is not an optionally signed
    /// decimal that fits in 64 bits counting as 0 too.
    static bool isNewer(const QString& candidate, const QString& reference);
    /// The manifest in the body (a JSON object with the strings "version" and "url", and
    /// "notes" as a string or null), or why it is not one, in words for the user.
    static std::variant<Manifest, QString> decodeManifest(const QByteArray& body);
    /// The manifest address for an override (the UpdateManifestURL setting), or why it cannot be used.
    static std::variant<QUrl, QString> manifestURL(const std::optional<QString>& override);

Q_SIGNALS:
    /// A check ended, whatever its outcome (it did not end in quitRequested).
    void checkEnded();
    /// The new bundle is in place and its relaunch started: the application should quit.
    void quitRequested();

private:
    QString currentVersion() const;
    std::optional<QString> whyNotReplaceable() const;
    void onManifest();
    void offer(const Manifest& manifest);
    void onDownloaded();
    void onStaged(const QString& staging, const QString& failure, const QString& detail);
    void fail(const QString& message);
    void end();

    Parts m_parts;
    bool m_isChecking = false;
    bool m_isInteractive = false;
    std::optional<Manifest> m_offered;
    // Declared before the request, so that a transfer under way is abandoned before its folder goes.
    std::unique_ptr<UpdateFolder::Attempt> m_attempt;
    std::unique_ptr<HttpsRequest> m_request;
    std::unique_ptr<UpdateHelper> m_helper;
    std::unique_ptr<ClockTimer> m_firstCheck;
    std::unique_ptr<ClockTimer> m_dailyCheck;
};
