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

    // Modal message boxes on the given parent.
    static Dialogs Standard(QWidget* parent);
};
