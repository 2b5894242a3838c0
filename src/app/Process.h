#pragma once

#include "network/HostnameModel.h"
#include "network/PublicIPService.h"
#include "platform/linux/net/LinuxNetworkInventory.h"
#include "platform/linux/session/JournalErrorLog.h"
#include "platform/linux/session/TimerfdClock.h"
#include "settings/DefaultsStore.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>

#include <cstdio>
#include <memory>

/// What every mode of the program shares, the command line's and the panel's: its name, its
/// output, and the parts the network rules run on.
namespace Process {

inline void identify(QCoreApplication& app)
{
    app.setApplicationName(QStringLiteral("Tavrink"));
    app.setOrganizationName(QStringLiteral("kelvandrosi"));
    app.setApplicationVersion(QStringLiteral(TAVRINK_VERSION));
}

inline void printText(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

/// Settings, the machine's network, the clock, the log and the public lookup (none when skipped).
struct Parts {
    Parts(bool isPublicLookupSkipped, const QList<QUrl>& endpoints,
          DefaultsStore::Reading reading = DefaultsStore::Reading::Watched)
        : settings(DefaultsStore::standardFilePath(), nullptr, reading)
        , publicIPService(isPublicLookupSkipped
                              ? nullptr
                              : std::make_unique<PublicIPService>(
                                  &network, endpoints.isEmpty() ? PublicIPService::defaultEndpoints() : endpoints))
    {
    }

    DefaultsStore settings;
    LinuxNetworkInventory inventory;
    TimerfdClock clock;
    JournalErrorLog log{"com.kelvandrosi.TavrinkMac", "network"};
    HostnameModel hostname;
    QNetworkAccessManager network;
    std::unique_ptr<PublicIPService> publicIPService;
};

} // namespace Process
