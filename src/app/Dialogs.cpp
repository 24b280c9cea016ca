#include "app/Dialogs.h"

#include <QMessageBox>

Dialogs Dialogs::Standard(QWidget* parent) {
    Dialogs dialogs;
    dialogs.Inform = [parent](const QString& caption, const QString& text) {
        QMessageBox::information(parent, caption, text, QMessageBox::Ok);
    };
    return dialogs;
}
