#pragma once

#include "menu/MenuEntry.h"
#include "network/OncePerTurn.h"

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
    /// Runs the action of the entry at index in the current entries.
    void choose(int index);
    /// The hostname in the form the settings ask for, read now.
    QString hostname() const;

Q_SIGNALS:
    void entriesChanged();
    void aboutRequested();
    void settingsRequested();
    void quitRequested();

private:
    void rebuild();

    NetworkStatusModel& m_model;
    DefaultsStore& m_settings;
    HostnameModel& m_hostname;
    Clipboard& m_clipboard;
    QList<MenuEntry> m_entries;
    OncePerTurn m_rebuilder;
};
