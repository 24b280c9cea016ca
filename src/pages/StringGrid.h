#pragma once
// A grid of text cells whose first row and first column are fixed headers, addressed by
// (column, row) with the headers at index 0.

#include <QTableWidget>

class StringGrid : public QTableWidget {
    Q_OBJECT

public:
    explicit StringGrid(QWidget* parent = nullptr);

    QString Cell(int column, int row) const;
    void SetCell(int column, int row, const QString& text);
    // Paints a header cell's background.
    void SetHeaderColor(int column, int row, const QColor& color);

signals:
    // Enter (also when it ends the editing of a cell), Insert or Delete on the current cell.
    void KeyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void MakeFixed(int column, int row);
};

// Heads a 17 x 17 register grid: the column offsets "00" to "0F" across the fixed row and the
// row bases "00", "10" ... "F0" down the fixed column.
void HeadRegisterGrid(StringGrid& grid);
