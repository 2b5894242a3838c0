#include "platform/linux/clipboard/WaylandClipboard.h"

#include "platform/ErrorLog.h"

#include <QProcess>
#include <QStandardPaths>

#include <cstring>
#include <wayland-client.h>

using namespace Qt::StringLiterals;

WaylandClipboard::WaylandClipboard(std::unique_ptr<Clipboard> fallback, ErrorLog& log, QObject* parent)
    : QObject(parent)
    , m_fallback(std::move(fallback))
    , m_log(log)
    , m_copier(QStandardPaths::findExecutable(u"wl-copy"_s))
{
}

WaylandClipboard::~WaylandClipboard() = default; // the offers end with their processes, children of this

bool WaylandClipboard::offersDataControl()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return false;
    bool isOffered = false;
    static const wl_registry_listener listener{
        [](void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
            if (std::strcmp(interface, "zwlr_data_control_manager_v1") == 0
                || std::strcmp(interface, "ext_data_control_manager_v1") == 0)
                *static_cast<bool*>(data) = true;
        },
        [](void*, wl_registry*, uint32_t) {},
    };
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &isOffered);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return isOffered;
}

void WaylandClipboard::setText(const QString& text)
{
    // Asked at the first copy, not at start: the answer does not change during a session.
    if (!m_isDataControl)
        m_isDataControl = offersDataControl();
    if (!*m_isDataControl || m_copier.isEmpty()) {
        if (*m_isDataControl)
            sayOnce(u"Copying on this Wayland desktop needs wl-copy (the wl-clipboard package); "
                    "trying the X11 clipboard instead."_s);
        else if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("DISPLAY"))
            sayOnce(u"This Wayland compositor offers neither the data-control protocol nor XWayland: "
                    "a panel item cannot put text on its clipboard."_s);
        m_fallback->setText(text);
        return;
    }
    // The text travels on standard input, never on the command line (where any process sees it).
    auto* copier = new QProcess(this);
    copier->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(copier, &QProcess::finished, copier, &QObject::deleteLater);
    connect(copier, &QProcess::errorOccurred, this, [this, copier](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            sayOnce(u"wl-copy could not be started: %1"_s.arg(copier->errorString()));
            copier->deleteLater();
        }
    });
    copier->start(m_copier, {u"--foreground"_s, u"--type"_s, u"text/plain"_s});
    copier->write(text.toUtf8());
    copier->closeWriteChannel();
}

void WaylandClipboard::sayOnce(const QString& message)
{
    if (std::exchange(m_hasSaid, true))
        return;
    m_log.error(message);
}
