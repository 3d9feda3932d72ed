// ListView1: the file list in report view, one column, one full path per item. It removes items
// on Delete and double-click (unless a run is in progress), moves texts while an item is dragged
// over the others, and takes files and folders dropped from outside.
#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <functional>

#include "app/file_list.h"
#include "app/reduction_run.h"

namespace lumatrim {

class FileListView : public QTreeWidget, public FileList {
  Q_OBJECT

 public:
  explicit FileListView(QWidget* parent = nullptr);

  int Count() const override { return topLevelItemCount(); }
  QString Text(int nItem) const override;
  void Add(const QString& text) override;
  // How many texts were ever added; it only grows.
  int Additions() const { return additions_; }
  // Removes every item; a drag in progress loses its item with them.
  void Clear();

  // Asked before every removal; false while the main window shows the hourglass.
  void SetRemovalsAllowed(std::function<bool()> allowed) { removalsAllowed_ = std::move(allowed); }
  // The pointer file shown while an item is dragged.
  void SetDragCursorFile(const QString& path) { dragCursorFile_ = path; }

  // Removes the selected item, as the Delete key and a double-click do.
  void RemoveSelected();

  bool Dragging() const { return bDragging_; }
  MousePointer Pointer() const { return pointer_; }

 signals:
  // Local paths dropped on the list, in the order given.
  void PathsDropped(const QStringList& paths);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ItemClick();
  // Makes the column wide enough for the item's path, within reason; it never narrows here.
  void WidenColumnFor(QTreeWidgetItem* item);
  void SetPointer(MousePointer pointer);

  std::function<bool()> removalsAllowed_;
  QString dragCursorFile_;
  int additions_ = 0;
  bool bDragging_ = false;
  QTreeWidgetItem* oDragItem_ = nullptr;
  MousePointer pointer_ = MousePointer::Default;
};

}  // namespace lumatrim
