#include "gui/WindowShelf.h"

#include <QGuiApplication>
#include <QScreen>

WindowShelf::~WindowShelf()
{
    for (const QPointer<QWidget>& window : std::as_const(m_windows))
        delete window.data();
}

QWidget* WindowShelf::present(const QString& kind, const QString& title,
                              const std::function<std::unique_ptr<QWidget>()>& make)
{
    QWidget* window = m_windows.value(kind);
    if (!window) {
        // Titled and closable only: no minimise, no maximise, no resizing.
        window = make().release();
        window->setObjectName(kind);
        window->setWindowTitle(title);
        window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setFixedSize(window->size());
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            window->move(screen->availableGeometry().center() - window->rect().center());
        m_windows.insert(kind, window);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
