#include "pages/StringGrid.h"

#include "pages/Named.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace {

constexpr int GridCells = 17;

}  // namespace

StringGrid::StringGrid(QWidget* parent) : QTableWidget(GridCells, GridCells, parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setDefaultSectionSize(26);
    verticalHeader()->setDefaultSectionSize(18);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    for (int index = 0; index < GridCells; ++index) {
        MakeFixed(index, 0);
        MakeFixed(0, index);
    }
}

QString StringGrid::Cell(int column, int row) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell != nullptr ? cell->text() : QString();
}

void StringGrid::SetCell(int column, int row, const QString& text) {
    QTableWidgetItem* cell = item(row, column);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;
        setItem(row, column, cell);
    }
    cell->setText(text);
}

void StringGrid::SetHeaderColor(int column, int row, const QColor& color) {
    if (QTableWidgetItem* cell = item(row, column)) {
        cell->setBackground(color);
    }
}

void StringGrid::keyPressEvent(QKeyEvent* event) {
    QTableWidget::keyPressEvent(event);  // the grid handles the key as well
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit KeyDown(Qt::Key_Return);
            break;
        case Qt::Key_Insert:
        case Qt::Key_Delete:
            emit KeyDown(event->key());
            break;
        default:
            break;
    }
}

void StringGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableWidget::closeEditor(editor, hint);
    // The cell editor ends with SubmitModelCache on Enter; its text is in the cell by now.
    if (hint == QAbstractItemDelegate::SubmitModelCache) {
        emit KeyDown(Qt::Key_Return);
    }
}

void StringGrid::MakeFixed(int column, int row) {
    auto* cell = new QTableWidgetItem;
    cell->setFlags(Qt::ItemIsEnabled);
    cell->setBackground(palette().button());
    setItem(row, column, cell);
}

void HeadRegisterGrid(StringGrid& grid) {
    for (int i = 0; i < 16; ++i) {
        grid.SetCell(i + 1, 0, HexByte(i));
        grid.SetCell(0, i + 1, HexByte(i * 16));
    }
}
