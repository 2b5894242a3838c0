#pragma once

#include "platform/PanelSetup.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include <functional>

/// The panel's needs on this desktop. GNOME Shell shows items only through its AppIndicator
/// extension, which the shell's own D-Bus interface can report on and turn on; any other
/// desktop needs a tray or status notifier area in its panel, which only the user can add.
class DesktopPanelSetup : public PanelSetup {
    Q_OBJECT
public:
    /// The extension's ids: Debian's and upstream's, and Ubuntu's.
    static const QStringList extensionIds;

    explicit DesktopPanelSetup(QDBusConnection bus, QObject* parent = nullptr);

    void advise() override;
    void change() override;

private:
    using Answer = std::function<void(const QDBusMessage& reply)>;
    void call(const QString& method, const QVariantList& arguments, Answer answer, const QString& interface = {});
    void adviseOn(qsizetype index);
    void enableExtension();
    void readBackState(int readsLeft);

    QDBusConnection m_bus;
    QString m_extension; // the one found
};
