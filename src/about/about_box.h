#pragma once
// The About box: product name, version, support and web links, the rights notice and the
// legal warning. Every text is fixed; it is built anew for each showing.

#include <QDialog>
#include <QPixmap>

class QGroupBox;
class QLabel;
class QPushButton;

namespace tabrook::platform {
class Shell;
}

namespace tabrook::about {

class LinkLabel;

class Dialog1 final : public QDialog {
    Q_OBJECT
  public:
    // The box has no owner window; its links open through `shell`.
    explicit Dialog1(platform::Shell& shell);

    QPushButton& OKButton() { return *okButton_; }
    LinkLabel& Label2() { return *label2_; }
    LinkLabel& Label8() { return *label8_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QLabel* AddLabel(QWidget* container, const char* name, const QString& text, QRect geometry);

    QPixmap picture_;
    QPushButton* okButton_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    LinkLabel* label2_ = nullptr;
    LinkLabel* label8_ = nullptr;
};

// The fixed texts, shared with tests.
QString AboutVersionText();
QString RightsNotice();
QString LegalWarning();

}  // namespace tabrook::about
