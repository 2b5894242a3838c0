#pragma once

#include "menu/MenuEntry.h"
#include "menu/OncePerTurn.h"

#include <QList>
#include <QObject>

class Clipboard;
class DefaultsStore;
class HostnameModel;
class NetworkStatusModel;

/// The menu as it stands: entries built from the model's state and the settings, rebuilt once
/// per turn of the event loop after anything they show changed, and the actions behind them.
class MenuController : public QObject {
    Q_OBJECT
public:
    MenuController(NetworkStatusModel& model, DefaultsStore& settings, HostnameModel& hostname, Clipboard& clipboard,
                   QObject* parent = nullptr);

    QList<MenuEntry> entries() const { return m_entries; }
    /// Takes a choice of the entry with this key: resolved now against the current entries, its
    /// action runs on a later turn (an action may take its time, or quit). A key the menu no
    /// longer has, or a disabled row's, does nothing.
    void choose(const QString& key);
    /// The hostname in the form the settings ask for, read now.
    QString hostname() const;

Q_SIGNALS:
    void entriesChanged();
    void aboutRequested();
    void updateCheckRequested();
    void settingsRequested();
    void quitRequested();

private:
    void rebuild();
    void run(const MenuEntry& entry);

    NetworkStatusModel& m_model;
    DefaultsStore& m_settings;
    HostnameModel& m_hostname;
    Clipboard& m_clipboard;
    QList<MenuEntry> m_entries;
    OncePerTurn m_rebuilder;
};
