// The yardstick for the panel item: the least a Qt 6 widgets program needs to show a tray icon
// with a two-entry menu. Prints "shown" once show() has been called.

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QMenu menu;
    menu.addAction(QStringLiteral("First"));
    menu.addAction(QStringLiteral("Quit"), &app, &QCoreApplication::quit);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::gray);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setContextMenu(&menu);
    tray.show();
    std::puts("shown");
    std::fflush(stdout);
    return QApplication::exec();
}
