#include "gui/MessageBoxAlertPresenter.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

int MessageBoxAlertPresenter::present(const Alert& alert)
{
    QMessageBox box;
    box.setWindowModality(Qt::ApplicationModal);
    box.setText(alert.message);
    box.setInformativeText(alert.informativeText);
    box.setIcon(alert.style == Alert::Style::Critical      ? QMessageBox::Critical
                    : alert.style == Alert::Style::Warning ? QMessageBox::Warning
                                                           : QMessageBox::Information);
    const QStringList labels = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    QList<QAbstractButton*> buttons;
    for (const QString& label : labels)
        buttons.append(box.addButton(label, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    // A panel utility is rarely the active application: bring the alert to the front.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();
    const qsizetype index = buttons.indexOf(box.clickedButton());
    return index < 0 ? static_cast<int>(labels.size()) - 1 : static_cast<int>(index);
}
