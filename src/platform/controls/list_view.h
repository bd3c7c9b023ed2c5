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
    void Clear();
    std::optional<ListItem> SelectedItem();
    void Refresh() { viewport()->update(); }

    // Marks the program's own changes of rows and selection while it lives: they are not
    // the user's choice and raise no SelectionChosen.
    class ProgramChange {
      public:
        explicit ProgramChange(ListView& view) : view_(view) { ++view_.programChanges_; }
        ~ProgramChange() { --view_.programChanges_; }
        ProgramChange(const ProgramChange&) = delete;
        ProgramChange& operator=(const ProgramChange&) = delete;

      private:
        ListView& view_;
    };

  signals:
    // The user chose the selected row: a click on a row (also on the one already
    // selected), or a change of the selection by keyboard or mouse drag. Once for each.
    void SelectionChosen();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    const ImageList* images_ = nullptr;
    bool checkBoxes_ = false;
    int programChanges_ = 0;
    bool pressing_ = false;
    bool selectionMovedByPress_ = false;
};

}  // namespace tabrook::platform
