#pragma once

#include <QString>

#include <optional>

/// Makes a copy of Tavrink known to the desktop from where it lies: an application entry in the
/// user's data folder (the application menu, tavrink: links) and a D-Bus service file (starting
/// Tavrink by its name), both pointing at the running executable. The entry is the bundle's own
/// with Exec and Icon set; one file of each, rewritten only when the copy moved.
class XdgApplicationEntry {
public:
    XdgApplicationEntry(QString dataFolder, QString bundlePath, QString executablePath, QString applicationId);

    /// $XDG_DATA_HOME
    static QString standardDataFolder();

    QString entryPath() const;
    QString serviceFilePath() const;
    /// Writes what differs from what this copy needs; the system's words on failure.
    std::optional<QString> registerCopy();

    /// An Exec value of a D-Bus service file that starts executablePath.
    static QString serviceExec(const QString& executablePath);

private:
    QString m_dataFolder;
    QString m_bundle;
    QString m_executable;
    QString m_applicationId;
};
