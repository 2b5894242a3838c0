#pragma once

#include "platform/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QVariantMap>

/// One instance per session over D-Bus: the first process owns the application id's name and
/// exports org.freedesktop.Application at the id's object path; a later one calls Activate, or
/// Open with its addresses, on the owner.
class DBusSingleInstance : public SingleInstance {
    Q_OBJECT
public:
    DBusSingleInstance(QDBusConnection bus, QString applicationId, QObject* parent = nullptr);
    ~DBusSingleInstance() override;

    /// "/" and the id with its dots as slashes: /com/kelvandrosi/Tavrink.
    static QString objectPath(const QString& applicationId);

    Claim claim(const QStringList& urls, QString* error) override;
    void release() override;
    void listen() override;

    /// A reopen request (an empty list) or addresses to open, from the bus.
    void request(const QStringList& urls, bool isReopen);

private:
    QDBusConnection m_bus;
    QString m_applicationId;
    QObject* m_exported;
    bool m_isOwner = false;
    bool m_isListening = false;
    QList<std::pair<bool, QStringList>> m_pending; // reopen?, addresses
};

/// org.freedesktop.Application over a DBusSingleInstance (the exported object itself, so that
/// its calls can be answered with an error).
class ApplicationDBus : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationDBus(DBusSingleInstance* instance);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& actionName, const QVariantList& parameter, const QVariantMap& platformData);

private:
    DBusSingleInstance* m_instance;
};
