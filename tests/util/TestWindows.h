#pragma once

#include <QApplication>
#include <QWidget>

/// The application's visible top-level windows with this identifier.
inline QList<QWidget*> visibleWindows(const QString& id)
{
    QList<QWidget*> found;
    const QList<QWidget*> all = QApplication::topLevelWidgets();
    for (QWidget* window : all) {
        if (window->objectName() == id && window->isVisible())
            found.append(window);
    }
    return found;
}
