#pragma once

#include "platform/Clipboard.h"

#include <QObject>

#include <memory>
#include <optional>

class ErrorLog;

/// The clipboard on a Wayland desktop. A panel item never has keyboard focus, and compositors
/// give the selection only to a focused client that answers an input event, so where the
/// compositor offers the data-control protocol (wlroots compositors such as sway, KDE) the text
/// goes through it: to wl-copy, on its standard input, which holds the offer and answers each
/// paste until another client replaces it or Tavrink quits. Elsewhere (GNOME, which lets an X11
/// owner's selection through at any time; plain X11) the fallback's clipboard serves. Copying
/// that can work nowhere is said once in the log.
class WaylandClipboard : public QObject, public Clipboard {
    Q_OBJECT
public:
    WaylandClipboard(std::unique_ptr<Clipboard> fallback, ErrorLog& log, QObject* parent = nullptr);
    ~WaylandClipboard() override;

    /// Whether the Wayland display of the environment offers a data-control manager
    /// (zwlr_data_control_manager_v1 or ext_data_control_manager_v1); false without a display.
    static bool offersDataControl();

    void setText(const QString& text) override;

private:
    void sayOnce(const QString& message);

    std::unique_ptr<Clipboard> m_fallback;
    ErrorLog& m_log;
    std::optional<bool> m_isDataControl; // whether the compositor offers data-control, once asked
    QString m_copier; // wl-copy; empty when missing
    bool m_hasSaid = false;
};
