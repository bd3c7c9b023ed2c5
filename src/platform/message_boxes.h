#pragma once
// Modal message boxes titled with the application's name, OK button only.

#include <memory>
#include <string>

class QMessageBox;
class QWidget;

namespace tabrook::platform {

enum class MessageIcon { None = 0, Critical = 16, Information = 64 };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void Show(QWidget* owner, const std::string& text, MessageIcon icon) = 0;
};

// The box Show runs, ready but not shown. Its text is plain: names of files and folders
// often hold "<" and "&", which must read as written.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const std::string& text,
                                            MessageIcon icon);

class QtMessageBoxes final : public MessageBoxes {
  public:
    void Show(QWidget* owner, const std::string& text, MessageIcon icon) override;
};

}  // namespace tabrook::platform
