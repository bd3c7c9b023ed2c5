#pragma once
// The main window: seven picture buttons, the source and file lists, the format and
// output-folder choices, the progress bar and the menu bar. Every button and menu entry
// runs exactly one command of a subsystem.

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QToolButton>

#include "platform/controls/combo_box.h"
#include "platform/controls/image_list.h"
#include "platform/controls/list_view.h"
#include "platform/controls/progress_bar.h"
#include "platform/services.h"

class QAction;

namespace tabrook::app {

// The mouse pointers the window shows, by the numbers the program has always used.
enum class MousePointer { Default = 0, Hourglass = 11 };

// The two strings a conversion run hands from one step to the next.
struct ConversionPaths {
    std::string OutputDir;   // the prepared output folder, with one trailing separator
    std::string TargetPath;  // the current workbook's output path, without an extension
};

// Small-icon indices of ImageList1 on source entry rows.
inline constexpr int kImageWorkbook = 1;
inline constexpr int kImageFolder = 2;
inline constexpr int kImageMissing = 3;

class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    // Builds the window and runs start-up; the caller shows it.
    explicit Form1(platform::Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    platform::Services& Svc() { return services_; }
    ConversionPaths& Paths() { return paths_; }

    platform::ListView& ListView1() { return *listView1_; }
    platform::ListView& ListView2() { return *listView2_; }
    platform::ComboBox& Combo1() { return *combo1_; }
    platform::ComboBox& Combo2() { return *combo2_; }
    platform::ProgressBar& ProgressBar1() { return *progressBar1_; }
    const platform::ImageList& ImageList1() const { return imageList1_; }

    void SetMousePointer(MousePointer pointer);
    MousePointer CurrentMousePointer() const { return mousePointer_; }
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

    platform::Services& services_;
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
    MousePointer mousePointer_ = MousePointer::Default;
    bool unloaded_ = false;
};

}  // namespace tabrook::app
