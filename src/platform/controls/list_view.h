#pragma once
// A report-view list with 1-based rows, optional check boxes and small icons from an
// ImageList: exactly the operations the commands use.

#include <QTreeWidget>
#include <optional>
#include <string>

#include "platform/controls/image_list.h"

namespace tabrook::platform {

class ListView;

// A handle on one row; valid while the row exists.
class ListItem {
  public:
    ListItem(ListView* view, QTreeWidgetItem* item) : view_(view), item_(item) {}

    std::string Text() const;
    int Index() const;  // 1-based position
    int SmallIcon() const;
    void SetSmallIcon(int imageIndex);
    bool Selected() const;
    void SetSelected(bool selected);
    bool Checked() const;
    void SetChecked(bool checked);
    void EnsureVisible();

  private:
    ListView* view_;
    QTreeWidgetItem* item_;
};

class ListView : public QTreeWidget {
    Q_OBJECT
  public:
    explicit ListView(QWidget* parent = nullptr);

    void AddColumn(const std::string& text, int widthTwips);
    void SetSmallIcons(const ImageList* images);
    const ImageList* SmallIcons() const { return images_; }
    void SetCheckBoxes(bool on) { checkBoxes_ = on; }
    bool CheckBoxes() const { return checkBoxes_; }

    // Appends a row, or inserts it at a 1-based position (later rows move down).
    ListItem Add(const std::string& text, std::optional<int> position = std::nullopt);
    int Count() const { return topLevelItemCount(); }
    ListItem Item(int position);
    void Remove(int position);
    void Clear() { clear(); }
    std::optional<ListItem> SelectedItem();
    void Refresh() { viewport()->update(); }

  signals:
    // A row was clicked: the list's item-click event.
    void ItemClick();

  private:
    const ImageList* images_ = nullptr;
    bool checkBoxes_ = false;
};

}  // namespace tabrook::platform
