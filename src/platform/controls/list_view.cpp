#include "platform/controls/list_view.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "platform/controls/twips.h"

namespace tabrook::platform {
namespace {

constexpr int kIconRole = Qt::UserRole + 1;
// The row's text as it was given: a file name on Linux may be any bytes, and the shown
// text (decoded as UTF-8) cannot give them back.
constexpr int kBytesRole = Qt::UserRole + 2;

}  // namespace

std::string ListItem::Text() const {
    return item_->data(0, kBytesRole).toByteArray().toStdString();
}

int ListItem::Index() const {
    return view_->indexOfTopLevelItem(item_) + 1;
}

int ListItem::SmallIcon() const {
    return item_->data(0, kIconRole).toInt();
}

void ListItem::SetSmallIcon(int imageIndex) {
    item_->setData(0, kIconRole, imageIndex);
    const ImageList* images = view_->SmallIcons();
    item_->setIcon(0, images != nullptr ? images->Image(imageIndex) : QIcon());
}

bool ListItem::Selected() const {
    return item_->isSelected();
}

void ListItem::SetSelected(bool selected) {
    const ListView::ProgramChange change(*view_);
    if (selected) {
        view_->setCurrentItem(item_);
    }
    item_->setSelected(selected);
}

bool ListItem::Checked() const {
    return item_->checkState(0) == Qt::Checked;
}

void ListItem::SetChecked(bool checked) {
    item_->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void ListItem::EnsureVisible() {
    view_->scrollToItem(item_);
}

ListView::ListView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setColumnCount(0);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (programChanges_ > 0) {
            return;
        }
        if (pressing_) {
            selectionMovedByPress_ = true;
        }
        emit SelectionChosen();
    });
    // A click that moved the selection has been reported already.
    connect(this, &QTreeWidget::itemClicked, this, [this] {
        if (!selectionMovedByPress_) {
            emit SelectionChosen();
        }
    });
}

void ListView::mousePressEvent(QMouseEvent* event) {
    pressing_ = true;
    selectionMovedByPress_ = false;
    QTreeWidget::mousePressEvent(event);
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    pressing_ = false;
}

void ListView::AddColumn(const std::string& text, int widthTwips) {
    const int column = columnCount();
    setColumnCount(column + 1);
    QTreeWidgetItem* header = headerItem();
    header->setText(column, QString::fromStdString(text));
    header->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(column, TwipsToPixels(this, widthTwips));
}

void ListView::SetSmallIcons(const ImageList* images) {
    images_ = images;
    setIconSize(QSize(16, 16));
}

ListItem ListView::Add(const std::string& text, std::optional<int> position) {
    const ProgramChange change(*this);
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(text)});
    item->setData(0, kBytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren |
                   (checkBoxes_ ? Qt::ItemIsUserCheckable : Qt::NoItemFlags));
    if (checkBoxes_) {
        item->setCheckState(0, Qt::Unchecked);
    }
    if (position.has_value()) {
        insertTopLevelItem(*position - 1, item);
    } else {
        addTopLevelItem(item);
    }
    return {this, item};
}

ListItem ListView::Item(int position) {
    return {this, topLevelItem(position - 1)};
}

void ListView::Remove(int position) {
    const ProgramChange change(*this);
    delete takeTopLevelItem(position - 1);
}

void ListView::Clear() {
    const ProgramChange change(*this);
    clear();
}

std::optional<ListItem> ListView::SelectedItem() {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return ListItem(this, selected.front());
}

}  // namespace tabrook::platform
