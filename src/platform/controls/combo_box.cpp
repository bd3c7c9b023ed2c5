#include "platform/controls/combo_box.h"

#include <QLineEdit>

namespace tabrook::platform {

ComboBox::ComboBox(Style style, QWidget* parent) : QComboBox(parent) {
    if (style == Style::EditableDropDown) {
        setEditable(true);
        // Typed text is only ever a text, never a new entry.
        setInsertPolicy(QComboBox::NoInsert);
        setCompleter(nullptr);
        connect(lineEdit(), &QLineEdit::textEdited, this, [this] { typed_ = true; });
    }
    connect(this, qOverload<int>(&QComboBox::activated), this, [this] { typed_ = false; });
}

void ComboBox::AddItem(const std::string& text, int index) {
    const QString entry = QString::fromStdString(text);
    if (index < 0 || index >= count()) {
        addItem(entry);
    } else {
        insertItem(index, entry);
    }
}

void ComboBox::RemoveItem(int index) {
    removeItem(index);
}

int ComboBox::ListIndex() const {
    const int index = currentIndex();
    if (index < 0 || typed_) {
        return -1;
    }
    return isEditable() && currentText() != itemText(index) ? -1 : index;
}

void ComboBox::SetListIndex(int index) {
    typed_ = false;
    setCurrentIndex(index);
    if (index >= 0 && isEditable()) {
        setEditText(itemText(index));
    }
}

}  // namespace tabrook::platform
