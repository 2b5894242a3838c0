#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>

class QNetworkAccessManager;
class QNetworkReply;

/// One HTTPS GET under the rules the whole program keeps: the peer's certificate always verified
/// (against the authorities of SSL_CERT_FILE / SSL_CERT_DIR when either is set, else the
/// system's), nothing read from or kept in a cache, redirects followed only to https, a transfer
/// timeout, and the body capped, kept in memory or streamed to a file. Destroying the request
/// abandons the transfer; a partial file is removed.
class HttpsRequest : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Pending,
        /// A 2xx answer whose whole body arrived within the cap.
        Succeeded,
        /// The address, or a redirect, is not https.
        NotHttps,
        /// The answer was not 2xx; status() says which.
        HttpError,
        /// The body grew beyond the cap and was not read further.
        TooLarge,
        /// No answer: the connection, the certificate or the timeout failed.
        NetworkError,
        /// The destination file could not be written.
        FileError,
    };
    struct Options {
        /// How long the transfer may stand still.
        std::chrono::milliseconds timeout{60000};
        qint64 maximumBytes = 64 * 1024;
        /// A new file the body is written to as it arrives (nothing may be there yet); empty keeps
        /// it in memory.
        QString destination;
        /// The authorities to trust; tlsConfiguration() when absent.
        std::optional<QSslConfiguration> tls;
    };

    HttpsRequest(QNetworkAccessManager* network, QUrl url, Options options, QObject* parent = nullptr);
    ~HttpsRequest() override;

    /// The configuration every request of the program uses, read from the environment now.
    static QSslConfiguration tlsConfiguration();

    /// Sends the request; finished() comes on a later turn of the event loop at the earliest.
    void start();
    Outcome outcome() const { return m_outcome; }
    /// The address asked, before any redirect.
    QUrl url() const { return m_url; }
    bool isFinished() const { return m_outcome != Outcome::Pending; }
    /// The HTTP status of the answer; 0 without one.
    int status() const { return m_status; }
    /// The body, when it is kept in memory.
    QByteArray body() const { return m_body; }
    qint64 receivedBytes() const { return m_received; }
    /// What went wrong, in words for a log or an alert; empty on success.
    QString errorString() const { return m_error; }

Q_SIGNALS:
    void finished();

private:
    void onReadyRead();
    void onFinished();
    void refuse(Outcome outcome, const QString& error);
    void finish(Outcome outcome, const QString& error = {});

    QNetworkAccessManager* m_network;
    QUrl m_url;
    Options m_options;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QFile> m_file;
    QByteArray m_body;
    qint64 m_received = 0;
    int m_status = 0;
    Outcome m_outcome = Outcome::Pending;
    QString m_error;
    // Set when the request is abandoned for a reason of its own, before the reply says it ended.
    std::optional<std::pair<Outcome, QString>> m_refusal;
};
