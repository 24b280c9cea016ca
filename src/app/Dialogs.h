#pragma once
// The window's message boxes, replaceable so that tests answer them.

#include <QString>
#include <functional>

class QWidget;

struct Dialogs {
    // A message with one OK button.
    std::function<void(const QString& caption, const QString& text)> Inform;
    // A warning with OK and Cancel; true for OK. Escape and the close box count as Cancel.
    std::function<bool(const QString& caption, const QString& text)> Ask;

    // A file to save into, asked with a filter such as "Binary File|*.bin"; empty when the user
    // cancels.
    std::function<QString(const QString& filter, const QString& defaultSuffix)> SaveFile;

    // A file to open, with a filter such as "Hex File|*.hex;*.h00|Binary File|*.bin"; empty
    // when the user cancels.
    std::function<QString(const QString& filter, const QString& defaultSuffix)> OpenFile;

    // Modal message boxes and file dialogs on the given parent.
    static Dialogs Standard(QWidget* parent);
};
