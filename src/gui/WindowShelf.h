#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

/// The program's windows, one of each kind: asked for again, a window comes back as it was
/// (its content, size and place); closed, it is hidden, not destroyed; all go with the shelf.
class WindowShelf {
public:
    WindowShelf() = default;
    WindowShelf(const WindowShelf&) = delete;
    WindowShelf& operator=(const WindowShelf&) = delete;
    ~WindowShelf();

    /// Shows the window of this kind, in front; make() gives its content the first time only.
    /// The window's objectName is the kind, so that it can be found by it.
    QWidget* present(const QString& kind, const QString& title, const std::function<std::unique_ptr<QWidget>()>& make);

private:
    QHash<QString, QPointer<QWidget>> m_windows;
};
