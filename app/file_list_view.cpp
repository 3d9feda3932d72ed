#include "app/file_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "app/cursor_files.h"

namespace lumatrim {

namespace {

// The screen rows above and below which dragging scrolls the list.
constexpr int kScrollUpBelowY = 305;
constexpr int kScrollDownFromY = 365;
// The column widens for a long path up to this many pixels; beyond, the tooltip shows the rest.
constexpr int kWidestColumn = 2400;

QStringList LocalPaths(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  }
  return paths;
}

// An item whose tooltip is its text, so that a path cut off by the column shows in full; the
// tooltip moves with the text when dragging exchanges texts.
class PathItem : public QTreeWidgetItem {
 public:
  explicit PathItem(const QString& text) : QTreeWidgetItem(QStringList{text}) {}
  QVariant data(int column, int role) const override {
    if (role == Qt::ToolTipRole) return text(column);
    return QTreeWidgetItem::data(column, role);
  }
};

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The list never starts a drag of its items by itself; dragging moves texts (below).
  setDragEnabled(false);
  setDragDropMode(QAbstractItemView::DropOnly);
  setAcceptDrops(true);
  header()->setStretchLastSection(false);
  setColumnCount(0);
}

QString FileListView::Text(int nItem) const {
  CheckItemNumber(nItem, Count());
  return topLevelItem(nItem - 1)->text(0);
}

void FileListView::Add(const QString& text) {
  auto* item = new PathItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  addTopLevelItem(item);
  ++additions_;
  WidenColumnFor(item);
}

void FileListView::WidenColumnFor(QTreeWidgetItem* item) {
  if (columnCount() == 0) return;
  // Only the new item is measured, so that adding a large folder stays linear.
  const QModelIndex index = indexFromItem(item, 0);
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const int wanted =
      qMin(kWidestColumn, itemDelegateForIndex(index)->sizeHint(option, index).width());
  if (wanted > columnWidth(0)) setColumnWidth(0, wanted);
}

void FileListView::Clear() {
  oDragItem_ = nullptr;
  clear();
}

void FileListView::RemoveSelected() {
  if (removalsAllowed_ && !removalsAllowed_()) return;
  if (Count() == 0) return;
  const QList<QTreeWidgetItem*> selected = selectedItems();
  if (selected.isEmpty()) return;
  if (oDragItem_ == selected.first()) oDragItem_ = nullptr;
  delete selected.first();
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    RemoveSelected();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  RemoveSelected();
}

void FileListView::SetPointer(MousePointer pointer) {
  pointer_ = pointer;
  if (pointer == MousePointer::Custom) {
    const std::optional<QCursor> picture = LoadCursorFile(dragCursorFile_);
    viewport()->setCursor(picture ? *picture : QCursor(Qt::DragMoveCursor));
  } else {
    viewport()->setCursor(Qt::ArrowCursor);
  }
}

void FileListView::ItemClick() {
  SetPointer(MousePointer::Custom);
  const QList<QTreeWidgetItem*> selected = selectedItems();
  oDragItem_ = selected.isEmpty() ? nullptr : selected.first();
}

void FileListView::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  if (itemAt(event->position().toPoint())) ItemClick();
  bDragging_ = true;
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
  if (!bDragging_) {
    QTreeWidget::mouseMoveEvent(event);
    return;
  }
  QTreeWidgetItem* under = itemAt(event->position().toPoint());
  if (!under || !oDragItem_ || under->text(0) == oDragItem_->text(0)) return;

  // The items keep their places; their texts move.
  const QString dragged = oDragItem_->text(0);
  oDragItem_->setText(0, under->text(0));
  under->setText(0, dragged);
  setCurrentItem(under);
  oDragItem_ = under;

  // Near the top or bottom of the screen, the neighbour comes into view.
  const int index = indexOfTopLevelItem(under);
  const int screenY = qRound(event->globalPosition().y());
  if (screenY < kScrollUpBelowY && index >= 1) {
    scrollToItem(topLevelItem(index - 1));
  } else if (screenY >= kScrollDownFromY && index + 1 < topLevelItemCount()) {
    scrollToItem(topLevelItem(index + 1));
  }
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  bDragging_ = false;
  SetPointer(MousePointer::Arrow);
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) {
    event->ignore();
  } else {
    event->acceptProposedAction();
  }
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) {
    event->ignore();
  } else {
    event->acceptProposedAction();
  }
}

void FileListView::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalPaths(event->mimeData());
  if (paths.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit PathsDropped(paths);
}

}  // namespace lumatrim
