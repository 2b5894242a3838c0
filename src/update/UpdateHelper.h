#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

/// One run of the update helper (tavrink-update-helper), the program that unpacks, verifies and
/// stages a downloaded release in a confined process of its own. It runs beside the event loop:
/// finished() comes once, whatever becomes of the helper.
class UpdateHelper : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString program;
        QString archive;
        /// Where to unpack; it must not exist yet.
        QString workFolder;
        /// Where the verified bundle is to wait, beside the installed one.
        QString staging;
        /// The maker's key: the base64 line of its public key file.
        QByteArray pinnedKey;
        QString version;
        /// A helper still running then is killed.
        std::chrono::milliseconds timeLimit;
    };
    struct Result {
        /// Why the update cannot go on, for the user; nothing when the bundle waits at the staging path.
        std::optional<QString> failure;
        /// What exactly went wrong, for the journal.
        QString detail;
        /// Why the helper ran less confined than it asks to be; empty when it was not.
        QString unconfined;
    };

    explicit UpdateHelper(Request request, QObject* parent = nullptr);
    /// A helper still running is killed.
    ~UpdateHelper() override;

    void start();

Q_SIGNALS:
    void finished(const UpdateHelper::Result& result);

private:
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void finish(Result result);

    Request m_request;
    QProcess m_process;
    QTimer m_timeLimit;
    QByteArray m_output;
    bool m_isTimedOut = false;
    bool m_isTooTalkative = false;
    bool m_isFinished = false;
};
