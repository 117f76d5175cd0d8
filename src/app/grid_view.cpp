#include "app/grid_view.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QPainter>

#include "app/twips.h"

namespace velmora {

namespace {

class DropDownDelegate : public QStyledItemDelegate {
  public:
    DropDownDelegate(QObject* parent, int row, std::vector<std::string> choices)
        : QStyledItemDelegate(parent), row_(row), choices_(std::move(choices)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (row_ > 0 && index.row() + 1 != row_)
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto* box = new QComboBox(parent);
        for (const std::string& c : choices_) box->addItem(ToQString(c));
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            box->setCurrentIndex(box->findText(index.data(Qt::EditRole).toString()));
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            if (box->currentIndex() >= 0) model->setData(index, box->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

  private:
    int row_;
    std::vector<std::string> choices_;
};

class ButtonDelegate : public QStyledItemDelegate {
  public:
    ButtonDelegate(QObject* parent, QString caption)
        : QStyledItemDelegate(parent), caption_(std::move(caption)) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex&) const override {
        QStyleOptionButton b;
        b.rect = option.rect.adjusted(1, 1, -1, -1);
        b.text = caption_;
        b.state = option.state & QStyle::State_Enabled ? QStyle::State_Enabled : QStyle::State_None;
        b.state |= QStyle::State_Raised;
        QApplication::style()->drawControl(QStyle::CE_PushButton, &b, painter);
    }

  private:
    QString caption_;
};

}  // namespace

GridView::GridView(QWidget* parent, const Grid& grid, int visibleColumns)
    : QTableView(parent), model_(new GridModel(grid, visibleColumns, this)) {
    setModel(model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    verticalHeader()->setDefaultSectionSize(Px(255));
    verticalHeader()->setMinimumSectionSize(Px(195));
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setMinimumHeight(Px(255));
    setWordWrap(false);
    connect(this, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (buttonCol_ > 0 && index.column() + 1 == buttonCol_ && onButton_)
            onButton_(index.row() + 1);
    });
}

void GridView::setDropDown(int col, int row, std::vector<std::string> choices) {
    setItemDelegateForColumn(col - 1, new DropDownDelegate(this, row, std::move(choices)));
}

void GridView::setButtonColumn(int col, QString caption, std::function<void(int row)> onPress) {
    buttonCol_ = col;
    onButton_ = std::move(onPress);
    setItemDelegateForColumn(col - 1, new ButtonDelegate(this, std::move(caption)));
}

void GridView::setColumnWidthsTwips(const std::vector<int>& widths) {
    for (size_t c = 0; c < widths.size(); ++c) setColumnWidth(static_cast<int>(c), Px(widths[c]));
}

void GridView::Render(const Grid& grid) {
    flags_.Apply(this, grid);
    applyingState_ = true;
    model_->Sync();
    const int row = grid.ActiveRow() - 1;
    const int col = grid.ActiveCol() - 1;
    const QModelIndex cur = currentIndex();
    if (row >= 0 && row < model_->rowCount() && col >= 0 && col < model_->columnCount()) {
        if (!cur.isValid() || cur.row() != row || cur.column() != col) {
            setCurrentIndex(model_->index(row, col));
            scrollTo(model_->index(row, col));
        }
    }
    applyingState_ = false;
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool wasEditing = state() == QAbstractItemView::EditingState;
    const bool started = QTableView::edit(index, trigger, event);
    // Only a newly opened editor: the model still holds the cell's text as it was.
    if (started && !wasEditing && state() == QAbstractItemView::EditingState && onEditBegin_)
        onEditBegin_(index.column() + 1, index.row() + 1);
    return started;
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (applyingState_ || !onCellMove_ || !current.isValid()) return;
    const int oldCol = previous.isValid() ? previous.column() + 1 : 0;
    const int oldRow = previous.isValid() ? previous.row() + 1 : 0;
    if (onCellMove_(oldCol, oldRow, current.column() + 1, current.row() + 1) &&
        previous.isValid()) {
        // Refused move: go back to the old cell without telling the console again.
        applyingState_ = true;
        setCurrentIndex(previous);
        applyingState_ = false;
    }
}

}  // namespace velmora
