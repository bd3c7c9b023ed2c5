#pragma once
// The settings dialog: the two saving preferences that shut-down reads from set.txt.

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <string>

namespace tabrook::platform {
class FileSystem;
class MessageBoxes;
}  // namespace tabrook::platform

namespace tabrook::state {

class Setting final : public QDialog {
    Q_OBJECT
  public:
    // Builds the dialog with both boxes loaded from `settingsPath`; it has no owner window.
    Setting(platform::FileSystem& fileSystem, platform::MessageBoxes& messageBoxes,
            std::string settingsPath);

    QPushButton& OKButton() { return *okButton_; }
    QPushButton& CancelButton() { return *cancelButton_; }
    QCheckBox& Check1() { return *check1_; }
    QCheckBox& Check2() { return *check2_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Load();
    void Save();

    platform::FileSystem& fileSystem_;
    platform::MessageBoxes& messageBoxes_;
    std::string settingsPath_;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QCheckBox* check1_ = nullptr;
    QCheckBox* check2_ = nullptr;
};

}  // namespace tabrook::state
