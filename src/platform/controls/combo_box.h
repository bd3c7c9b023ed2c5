#pragma once
// A combo with 0-based entries whose list index is -1 when nothing is selected, also when
// the user typed the text.

#include <QComboBox>
#include <string>

namespace tabrook::platform {

class ComboBox : public QComboBox {
    Q_OBJECT
  public:
    enum class Style { DropDownList, EditableDropDown };
    explicit ComboBox(Style style, QWidget* parent = nullptr);

    // At the end, or at a 0-based position.
    void AddItem(const std::string& text, int index = -1);
    void RemoveItem(int index);
    int ListCount() const { return count(); }
    std::string List(int index) const { return itemText(index).toStdString(); }
    int ListIndex() const;
    // Selects the entry and puts its text into the combo; -1 selects nothing.
    void SetListIndex(int index);
    std::string Text() const { return currentText().toStdString(); }

  private:
    bool typed_ = false;
};

}  // namespace tabrook::platform
