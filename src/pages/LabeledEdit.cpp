#include "pages/LabeledEdit.h"

#include <QVBoxLayout>

LabeledEdit::LabeledEdit(QWidget* parent)
    : QWidget(parent), Label(new QLabel(this)), Edit(new QLineEdit(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(Label);
    layout->addWidget(Edit);
    Label->setBuddy(Edit);
}
