#include "app/Dialogs.h"

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
    return dialogs;
}
