#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class QSettings;

/// The user's settings in an INI file, with registered defaults that are never written.
/// Every reader hears of every change: writes made here and edits of the file by anyone else,
/// unless it reads the file once only.
class DefaultsStore : public QObject {
    Q_OBJECT
public:
    /// Once: the file as it is now, for a program that ends before anyone could change it (a
    /// watch costs its exit the kernel's wait for the watch to go).
    enum class Reading { Watched, Once };

    explicit DefaultsStore(QString filePath = standardFilePath(), QObject* parent = nullptr,
                           Reading reading = Reading::Watched);

    /// $XDG_CONFIG_HOME/kelvandrosi/Tavrink.conf
    static QString standardFilePath();

    QString filePath() const { return m_filePath; }
    /// What a read returns for a key the user has not set; kept in memory only.
    void registerDefaults(const QVariantMap& defaults);
    /// The user's value, else the registered default, else an invalid QVariant.
    QVariant value(const QString& key) const;
    /// The value read as a Boolean; fallback when the key has neither a readable value nor a default.
    bool boolValue(const QString& key, bool fallback) const;
    /// Writes the value through to the file; false when the file could not be written.
    bool setValue(const QString& key, const QVariant& value);
    /// Forgets the user's value, so that the key reads as its default again.
    bool remove(const QString& key);

Q_SIGNALS:
    void valueChanged(const QString& key);

private:
    QVariantMap effectiveValues() const;
    void reload();
    void watch();
    bool write(const std::function<void(QSettings&)>& change);
    void announceDifferences(const QVariantMap& before);

    QString m_filePath;
    QVariantMap m_stored;
    QVariantMap m_defaults;
    bool m_isFileDamaged = false;
    Reading m_reading;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};
