#include "app/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

Dialogs Dialogs::Standard(QWidget* parent) {
    Dialogs dialogs;
    dialogs.Inform = [parent](const QString& caption, const QString& text) {
        QMessageBox::information(parent, caption, text, QMessageBox::Ok);
    };
    dialogs.Ask = [parent](const QString& caption, const QString& text) {
        return QMessageBox::warning(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                    QMessageBox::Cancel) == QMessageBox::Ok;
    };
    dialogs.SaveFile = [parent](const QString& filter, const QString& defaultSuffix) {
        // "Name|*.ext" as Qt writes it: "Name (*.ext)".
        const QStringList parts = filter.split('|');
        const QString qtFilter =
            parts.size() == 2 ? parts[0] + QStringLiteral(" (") + parts[1] + ')' : filter;
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(qtFilter);
        dialog.setDefaultSuffix(QString(defaultSuffix).remove(QStringLiteral("*.")));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };
    return dialogs;
}
