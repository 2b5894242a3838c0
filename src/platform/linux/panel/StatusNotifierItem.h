#pragma once

#include "platform/StatusItem.h"
#include "platform/linux/panel/DBusTypes.h"
#include "platform/linux/panel/HostStyle.h"

#include <QDBusConnection>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <optional>

class ExportedMenu;
class QDBusServiceWatcher;

/// The panel item as a StatusNotifierItem exported by this process, with its menu over DBusMenu.
/// Registers with the panel's watcher, again whenever the watcher comes back, and shows the
/// fallback item (given the same label, icons and menu) while there is no watcher, or one that
/// no host reads. Counts as unseen when a few seconds after a change there is neither.
class StatusNotifierItem : public StatusItem {
    Q_OBJECT
public:
    static constexpr auto itemPath = "/StatusNotifierItem";
    static constexpr auto menuPath = "/MenuBar";

    /// iconTheme: an icon theme folder (holding hicolor/) with the symbolic icon
    /// tavrink-symbolic, for hosts that recolour it; empty or without it, they get the pictures.
    StatusNotifierItem(QDBusConnection bus, QString id, QString iconTheme = {},
                       std::unique_ptr<FallbackStatusItem> fallback = nullptr, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    void setLabel(const QString& text) override;
    void setIcon(const QList<QByteArray>& pngRepresentations) override;
    void setApplicationIcon(const QByteArray& png) override;
    void setTitle(const QString& title) override;
    void setMenu(const QList<MenuItem>& items) override;
    void show() override;
    bool isSeen() const override { return m_isSeen; }
    /// How long the situation must hold before the item counts as unseen: a panel that restarts,
    /// or a host that registers late, has this long.
    static constexpr int seenDelayMs = 3000;

    QString id() const { return m_id; }
    QString serviceName() const { return m_serviceName; }
    QString label() const { return m_label; }
    QString title() const { return m_title; }
    /// Looks again whether the symbolic icon is installed in the desktop's own icon theme; there,
    /// a host that draws it finds it by name alone, and colours it as its own icons.
    void findInstalledIcon();
    /// A themed icon name under iconThemePath(); empty when the pixmap is to be shown instead.
    QString iconName() const;
    QString iconThemePath() const;
    DBusImageList iconPixmap() const;
    bool isRegistered() const { return m_isRegistered; }
    bool isShowingFallback() const { return m_fallback && m_fallback->isVisible(); }
    /// Opens the menu as a popup, for hosts that ask the item to: at the position they give, or
    /// at the pointer where that position is implausible.
    void popUpMenu(int x, int y);
    /// Where a menu asked for at `given` opens: there when it is on a screen and near the pointer
    /// (where the pointer is known), else at the pointer, inside a screen.
    static QPoint menuPosition(QPoint given, std::optional<QPoint> pointer, const QList<QRect>& screens);
    /// The token a host (Plasma 6) hands over with a click, so that a window the click opens may
    /// come to the front on Wayland: the next window raised uses it.
    void useActivationToken(const QString& token);

Q_SIGNALS:
    void appearanceChanged();
    void titleChanged();
    void registered();

private Q_SLOTS:
    void onItemUnregistered(const QString& service);
    void readHost();

private:
    void onWatcherAppeared();
    void onWatcherGone();
    void registerWithWatcher();
    void renewName();
    void updateFallback();
    bool hasWatcher() const;
    void checkSeenLater();
    void checkSeen();
    void writeIcons();
    bool isShowingSymbolicIcon() const;

    QDBusConnection m_bus;
    QString m_id;
    QString m_iconTheme;
    QString m_serviceName;
    QString m_label;
    QString m_title;
    QList<QImage> m_icon;
    bool m_isShown = false;
    bool m_isIconInstalled = false;
    bool m_isRegistered = false;
    // Whether the watcher says a host reads it; a watcher that does not say counts as having one.
    bool m_hasHost = true;
    bool m_isWatcherUnread = false; // one that says a host reads it, on a desktop where none can
    bool m_isSeen = true;
    QTimer m_seenCheck;
    HostStyle::Style m_hostStyle = HostStyle::Style::WidePicture;
    int m_iconGeneration = 0;
    QTemporaryDir m_iconDir;
    ExportedMenu* m_menu;
    QDBusServiceWatcher* m_watcherWatcher;
    QTimer m_fallbackDelay;
    QTimer m_reregistration;
    int m_drops = 0;
    int m_registrationsLeft = 0; // with this watcher, a renewal included
    bool m_renewsName = false; // the renewal comes under a fresh name
    int m_nameCount = 1;
    static constexpr int kLabelRenewalDelayMs = 2000;
    std::unique_ptr<FallbackStatusItem> m_fallback;
};
