#pragma once
// The main window: seven picture buttons, the source and file lists, the format and
// output-folder choices, the progress bar and the menu bar. Every button and menu entry
// runs exactly one command of a subsystem.

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QToolButton>

#include "app/services.h"
#include "platform/controls/combo_box.h"
#include "platform/controls/image_list.h"
#include "platform/controls/list_view.h"
#include "platform/controls/progress_bar.h"

class QAction;

namespace tabrook::app {

inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;

// Small-icon indices of ImageList1 on source entry rows.
inline constexpr int kImageWorkbook = 1;
inline constexpr int kImageFolder = 2;
inline constexpr int kImageMissing = 3;

class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    // Builds the window and runs start-up; the caller shows it.
    explicit Form1(Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    Services& Svc() { return services_; }
    ConversionPaths& Paths() { return paths_; }

    platform::ListView& ListView1() { return *listView1_; }
    platform::ListView& ListView2() { return *listView2_; }
    platform::ComboBox& Combo1() { return *combo1_; }
    platform::ComboBox& Combo2() { return *combo2_; }
    platform::ProgressBar& ProgressBar1() { return *progressBar1_; }
    const platform::ImageList& ImageList1() const { return imageList1_; }

    void SetMousePointer(int pointer);
    int MousePointer() const { return mousePointer_; }
    // Closes the window; shut-down runs once, whatever closed it.
    void Unload() { close(); }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QToolButton* MakePictureButton(const char* name, const QString& caption, const QString& icon,
                                   int iconSize, QRect geometry);
    void BuildControls();
    void BuildMenus();
    void SetTabOrder();
    void Wire();

    Services& services_;
    ConversionPaths paths_;
    platform::ImageList imageList1_;
    QWidget* client_ = nullptr;
    QToolButton* command1_ = nullptr;
    QToolButton* command2_ = nullptr;
    QToolButton* command3_ = nullptr;
    QToolButton* command4_ = nullptr;
    QToolButton* command5_ = nullptr;
    QToolButton* command6_ = nullptr;
    QToolButton* command7_ = nullptr;
    QToolButton* command8_ = nullptr;
    QToolButton* command9_ = nullptr;
    QPushButton* command10_ = nullptr;
    QPushButton* command11_ = nullptr;
    platform::ListView* listView1_ = nullptr;
    platform::ListView* listView2_ = nullptr;
    platform::ComboBox* combo1_ = nullptr;
    platform::ComboBox* combo2_ = nullptr;
    platform::ProgressBar* progressBar1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    int mousePointer_ = kPointerDefault;
    bool unloaded_ = false;
};

}  // namespace tabrook::app
