#pragma once

#include "platform/LoginItemService.h"

#include <QString>

/// Launch at login as an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<id>.desktop, whose Exec
/// is the running executable. No file: not registered. A file that starts this executable and is
/// not Hidden: enabled. Any other file (another path, hidden): not found.
class XdgAutostartLoginItem : public LoginItemService {
public:
    XdgAutostartLoginItem(QString autostartFolder, QString executablePath, QString applicationId);

    /// $XDG_CONFIG_HOME/autostart
    static QString standardAutostartFolder();

    QString entryPath() const;
    Status status() override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;
    void openSettings() override;

    /// The desktop entry that starts executablePath.
    static QByteArray entryText(const QString& executablePath);
    /// The program of an Exec value (its first argument, unquoted); empty when it cannot be read.
    static QString execProgram(const QString& exec);

private:
    QString m_folder;
    QString m_executable;
    QString m_applicationId;
};
