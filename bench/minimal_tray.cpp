// The yardstick for the panel item: the least a Qt 6 widgets program needs to show a tray icon
// with a two-entry menu. Prints "shown" once show() has been called. Given an address, it makes
// one HTTPS GET of it, as Tavrink makes its update check.

#include <QApplication>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSystemTrayIcon>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QMenu menu;
    menu.addAction(QStringLiteral("First"));
    menu.addAction(QStringLiteral("Quit"), &app, &QCoreApplication::quit);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::gray);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setContextMenu(&menu);
    tray.show();
    std::puts("shown");
    std::fflush(stdout);
    QNetworkAccessManager network;
    if (argc > 1) {
        QNetworkRequest request(QUrl(QString::fromLocal8Bit(argv[1])));
        // The authority the benchmark's server was made with, as Tavrink takes it.
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        if (qEnvironmentVariableIsSet("SSL_CERT_FILE"))
            tls.setCaCertificates(QSslCertificate::fromPath(qEnvironmentVariable("SSL_CERT_FILE")));
        request.setSslConfiguration(tls);
        QNetworkReply* reply = network.get(request);
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply] {
            std::printf("got %lld bytes%s\n", static_cast<long long>(reply->readAll().size()),
                        reply->error() == QNetworkReply::NoError
                            ? ""
                            : qPrintable((QStringLiteral(", ") + reply->errorString())));
            std::fflush(stdout);
            reply->deleteLater();
        });
    }
    return QApplication::exec();
}
