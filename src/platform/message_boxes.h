#pragma once
// Modal message boxes titled with the application's name, OK button only.

#include <string>

class QWidget;

namespace tabrook::platform {

enum class MessageIcon { None = 0, Critical = 16, Information = 64 };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void Show(QWidget* owner, const std::string& text, MessageIcon icon) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
  public:
    void Show(QWidget* owner, const std::string& text, MessageIcon icon) override;
};

}  // namespace tabrook::platform
