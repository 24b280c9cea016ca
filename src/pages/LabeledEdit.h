#pragma once
// A one-line edit with its caption label above it; hiding or disabling it takes the label along.

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

class LabeledEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString labelText READ labelText WRITE setLabelText)
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    explicit LabeledEdit(QWidget* parent = nullptr);

    QString labelText() const { return Label->text(); }
    void setLabelText(const QString& text) { Label->setText(text); }
    QString text() const { return Edit->text(); }
    void setText(const QString& text) { Edit->setText(text); }
    QLineEdit* lineEdit() const { return Edit; }

private:
    QLabel* Label;
    QLineEdit* Edit;
};
