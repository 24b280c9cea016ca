#pragma once
// Helpers the pages share: a control built with its object name (the name the window's code
// and tests find it by), and a byte as the pages show it.

#include <QLabel>
#include <QString>
#include <utility>

#include "pages/LabeledEdit.h"

template <typename T, typename... Arguments>
T* Named(const char* name, Arguments&&... arguments) {
    auto* control = new T(std::forward<Arguments>(arguments)...);
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

inline QLabel* NamedLabel(const char* name, const char* text, QWidget* parent) {
    return Named<QLabel>(name, QString::fromLatin1(text), parent);
}

inline LabeledEdit* NamedEdit(const char* name, const char* label, const char* text,
                              QWidget* parent) {
    auto* edit = Named<LabeledEdit>(name, parent);
    edit->setLabelText(QString::fromLatin1(label));
    edit->setText(QString::fromLatin1(text));
    return edit;
}

// Two upper-case hexadecimal digits: "0A".
inline QString HexByte(int value) {
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}
