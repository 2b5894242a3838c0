#include "settings/DefaultsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

std::optional<bool> readBool(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == u"true"_s || text == u"1"_s || text == u"yes"_s || text == u"on"_s)
        return true;
    if (text == u"false"_s || text == u"0"_s || text == u"no"_s || text == u"off"_s)
        return false;
    return std::nullopt;
}

} // namespace

DefaultsStore::DefaultsStore(QString filePath, QObject* parent, Reading reading)
    : QObject(parent)
    , m_filePath(std::move(filePath))
    , m_reading(reading)
{
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    // Another process's write comes as several events (created, truncated, written, renamed);
    // the file is read once they have settled, so that a half-written file is never taken.
    m_settle.setSingleShot(true);
    m_settle.setInterval(50);
    connect(&m_settle, &QTimer::timeout, this, &DefaultsStore::reload);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    reload();
}

QString DefaultsStore::standardFilePath()
{
    // QSettings would name an INI file Tavrink.ini; the file is Tavrink.conf, in INI format.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/kelvandrosi/Tavrink.conf"_s;
}

void DefaultsStore::registerDefaults(const QVariantMap& defaults)
{
    const QVariantMap before = effectiveValues();
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_defaults.insert(it.key(), it.value());
    announceDifferences(before);
}

QVariant DefaultsStore::value(const QString& key) const
{
    return m_stored.contains(key) ? m_stored.value(key) : m_defaults.value(key);
}

bool DefaultsStore::boolValue(const QString& key, bool fallback) const
{
    if (const std::optional<bool> stored = readBool(m_stored.value(key)))
        return *stored;
    return readBool(m_defaults.value(key)).value_or(fallback);
}

bool DefaultsStore::setValue(const QString& key, const QVariant& value)
{
    return write([&](QSettings& settings) { settings.setValue(key, value); });
}

bool DefaultsStore::remove(const QString& key)
{
    return write([&](QSettings& settings) { settings.remove(key); });
}

bool DefaultsStore::write(const std::function<void(QSettings&)>& change)
{
    if (m_isFileDamaged) {
        // A file that cannot be read is kept aside rather than written over.
        const QString aside = m_filePath + u".damaged"_s;
        QFile::remove(aside);
        QFile::rename(m_filePath, aside);
        m_isFileDamaged = false;
    }
    bool isWritten = false;
    {
        QSettings settings(m_filePath, QSettings::IniFormat);
        change(settings);
        settings.sync();
        isWritten = settings.status() == QSettings::NoError;
    }
    reload();
    return isWritten;
}

QVariantMap DefaultsStore::effectiveValues() const
{
    QVariantMap values = m_defaults;
    for (auto it = m_stored.begin(); it != m_stored.end(); ++it)
        values.insert(it.key(), it.value());
    return values;
}

void DefaultsStore::reload()
{
    const QVariantMap before = effectiveValues();
    m_stored.clear();
    m_isFileDamaged = false;
    if (QFileInfo::exists(m_filePath)) {
        QFile probe(m_filePath);
        const QSettings settings(m_filePath, QSettings::IniFormat);
        if (!probe.open(QIODevice::ReadOnly) || settings.status() != QSettings::NoError) {
            // Unreadable or damaged: everything reads as its default until the file is mended.
            m_isFileDamaged = settings.status() == QSettings::FormatError;
        } else {
            const QStringList keys = settings.allKeys();
            for (const QString& key : keys)
                m_stored.insert(key, settings.value(key));
        }
    }
    watch();
    announceDifferences(before);
}

void DefaultsStore::watch()
{
    if (m_reading == Reading::Once)
        return;
    // Editors and QSettings replace the file rather than rewrite it, so the folder is watched too.
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    if (QFileInfo::exists(m_filePath) && !m_watcher.files().contains(m_filePath))
        m_watcher.addPath(m_filePath);
}

void DefaultsStore::announceDifferences(const QVariantMap& before)
{
    const QVariantMap after = effectiveValues();
    QSet<QString> keys(before.keyBegin(), before.keyEnd());
    keys.unite(QSet<QString>(after.keyBegin(), after.keyEnd()));
    QStringList changed;
    for (const QString& key : keys) {
        if (before.value(key) != after.value(key))
            changed.append(key);
    }
    changed.sort();
    for (const QString& key : changed)
        Q_EMIT valueChanged(key);
}
