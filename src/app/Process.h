#pragma once

#include "commandline/CommandLine.h"
#include "network/HostnameModel.h"
#include "network/PublicIPService.h"
#include "platform/linux/net/LinuxNetworkInventory.h"
#include "platform/linux/session/JournalErrorLog.h"
#include "platform/linux/session/TimerfdClock.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

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

/// Settings, the machine's network, the clock, the log and the public lookups of both families
/// (none when skipped): the services given on the command line, else the settings' own, else the
/// built-in ones.
struct Parts {
    explicit Parts(const CommandLine::Options& options,
                   DefaultsStore::Reading reading = DefaultsStore::Reading::Watched)
        : settings(DefaultsStore::standardFilePath(), nullptr, reading)
    {
        if (options.isPublicLookupSkipped)
            return;
        const auto service = [this](const QList<QUrl>& given, const QString& key, AddressFamily family) {
            return std::make_unique<PublicIPService>(
                &network,
                given.isEmpty() ? PublicIPService::endpointsFrom(settings.value(key), family, key, log) : given,
                PublicIPService::defaultTimeout, family);
        };
        publicIPService = service(options.endpoints, SettingsKey::publicIPv4Services, AddressFamily::IPv4);
        publicIPv6Service = service(options.endpoints6, SettingsKey::publicIPv6Services, AddressFamily::IPv6);
    }

    DefaultsStore settings;
    LinuxNetworkInventory inventory;
    TimerfdClock clock;
    JournalErrorLog log{"com.kelvandrosi.TavrinkMac", "network"};
    HostnameModel hostname;
    QNetworkAccessManager network;
    std::unique_ptr<PublicIPService> publicIPService;
    std::unique_ptr<PublicIPService> publicIPv6Service;
};

} // namespace Process
