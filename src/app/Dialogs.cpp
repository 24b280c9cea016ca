#include "app/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

// Filters come as "Name|*.a;*.b|Name|*.c" and are shown as "Name (*.a *.b)", one a line.
QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        filters << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(';', ' ') + ')';
    }
    return filters.isEmpty() ? filter : filters.join(QStringLiteral(";;"));
}

QString AskForFile(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                   const QString& defaultSuffix) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilter(QtFilter(filter));
    dialog.setDefaultSuffix(QString(defaultSuffix).remove(QStringLiteral("*.")));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().first()
               : QString();
}

}  // namespace

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
        return AskForFile(parent, QFileDialog::AcceptSave, filter, defaultSuffix);
    };
    dialogs.OpenFile = [parent](const QString& filter, const QString& defaultSuffix) {
        return AskForFile(parent, QFileDialog::AcceptOpen, filter, defaultSuffix);
    };
    return dialogs;
}
