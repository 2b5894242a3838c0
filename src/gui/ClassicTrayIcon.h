#pragma once

#include "platform/StatusItem.h"
#include "platform/TrayDock.h"

#include <QByteArray>
#include <QList>

#include <memory>

class QMenu;

/// The panel item as a classic tray icon (in the tray the dock gives) with the menu as a QMenu,
/// for desktops whose panel has no StatusNotifier host. A classic tray may be light or dark and
/// cannot draw text, so it shows the coloured application icon, and the hostname in its tooltip.
/// Nothing is drawn or built before it is shown or its menu opened: most panels never need it.
class ClassicTrayIcon : public FallbackStatusItem {
    Q_OBJECT
public:
    explicit ClassicTrayIcon(std::unique_ptr<TrayDock> dock, QObject* parent = nullptr);
    ~ClassicTrayIcon() override;

    void setLabel(const QString& text) override;
    void setIcon(const QList<QByteArray>& pngRepresentations) override;
    void setApplicationIcon(const QByteArray& png) override;
    void setTitle(const QString& title) override;
    void setMenu(const QList<MenuItem>& items) override;
    void show() override;

    bool isAvailable() const override;
    void hide() override;
    bool isVisible() const override;
    void popUpMenu(int x, int y) override;

private:
    void updateIcon();
    QMenu& menu();
    void fillMenu();

    QString m_title;
    QList<QByteArray> m_icon;
    QByteArray m_applicationIcon;
    QList<MenuItem> m_items;
    std::unique_ptr<QMenu> m_menu; // made, and kept current, once it is needed
    std::unique_ptr<TrayDock> m_dock;
    bool m_isShown = false;
};
