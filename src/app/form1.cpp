#include "app/form1.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "about/help_commands.h"
#include "app/lifecycle.h"
#include "convert/run_conversion.h"
#include "output/output_folder_commands.h"
#include "platform/controls/icons.h"
#include "platform/controls/twips.h"
#include "platform/controls/window_style.h"
#include "sources/source_entry_commands.h"
#include "state/setting_command.h"

namespace tabrook::app {
namespace {

constexpr int kClientWidthTwips = 10164;
constexpr int kClientHeightTwips = 6816;

}  // namespace

Form1::Form1(platform::Services& services, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      services_(services) {
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(QStringLiteral("Tabrook"));
    setWindowIcon(platform::ResourceIcon(QStringLiteral("application.svg"), 48));
    setFont(platform::Arial(8.4));

    imageList1_.Add(platform::ResourceIcon(QStringLiteral("list_workbook.svg"), 16));
    imageList1_.Add(platform::ResourceIcon(QStringLiteral("list_folder.svg"), 16));
    imageList1_.Add(platform::ResourceIcon(QStringLiteral("list_missing.svg"), 16));

    BuildControls();
    BuildMenus();
    SetTabOrder();
    Wire();
    // The size is fixed: the window can be minimised but not resized or maximised.
    setFixedSize(sizeHint());

    StartUp(*this);
}

Form1::~Form1() = default;

QToolButton* Form1::MakePictureButton(const char* name, const QString& caption, const QString& icon,
                                      int iconSize, QRect geometry) {
    auto* button = new QToolButton(client_);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setIcon(platform::ResourceIcon(icon, iconSize));
    button->setIconSize(QSize(iconSize, iconSize));
    button->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly
                                                 : Qt::ToolButtonTextUnderIcon);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setGeometry(geometry);
    if (!caption.isEmpty()) {
        button->setFont(platform::Arial(9.6));
    }
    return button;
}

void Form1::BuildControls() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    client_->setFixedSize(platform::TwipsToPixels(this, kClientWidthTwips),
                          platform::TwipsToPixels(this, kClientHeightTwips));
    const auto at = [this](int left, int top, int width, int height) {
        return platform::TwipsRect(this, left, top, width, height);
    };

    command5_ = MakePictureButton("Command5", QStringLiteral("Add Folder"),
                                  QStringLiteral("folder.svg"), 48, at(120, 0, 1210, 975));
    command1_ =
        MakePictureButton("Command1", QStringLiteral("Add Word"),
                          QStringLiteral("spreadsheet_document.svg"), 48, at(1440, 0, 1210, 975));
    command2_ = MakePictureButton("Command2", QStringLiteral("Remove File"),
                                  QStringLiteral("remove.svg"), 32, at(2760, 0, 1330, 975));
    command6_ = MakePictureButton("Command6", QStringLiteral("Convert"),
                                  QStringLiteral("application.svg"), 48, at(5520, 0, 1090, 975));
    command8_ = MakePictureButton("Command8", QStringLiteral("Help"), QStringLiteral("help.svg"),
                                  32, at(6720, 0, 970, 975));
    command7_ = MakePictureButton("Command7", QStringLiteral("HomePage"),
                                  QStringLiteral("web_browser.svg"), 48, at(7800, 0, 1090, 975));
    command9_ = MakePictureButton("Command9", QStringLiteral("Exit"), QStringLiteral("exit.svg"),
                                  32, at(9000, 0, 970, 975));

    listView1_ = new platform::ListView(client_);
    listView1_->setObjectName(QStringLiteral("ListView1"));
    listView1_->setGeometry(at(120, 1080, 5175, 4575));
    listView2_ = new platform::ListView(client_);
    listView2_->setObjectName(QStringLiteral("ListView2"));
    listView2_->SetCheckBoxes(true);
    listView2_->setGeometry(at(5880, 1080, 4095, 4575));

    command3_ = MakePictureButton("Command3", QString(), QStringLiteral("arrow_up.svg"), 16,
                                  at(5400, 2040, 370, 610));
    command4_ = MakePictureButton("Command4", QString(), QStringLiteral("arrow_down.svg"), 16,
                                  at(5400, 2880, 370, 610));

    progressBar1_ = new platform::ProgressBar(client_);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setGeometry(at(120, 6480, 9975, 255));

    combo1_ = new platform::ComboBox(platform::ComboBox::Style::DropDownList, client_);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setFont(platform::Arial(9));
    combo1_->setGeometry(at(1200, 5760, 8775, 345));

    label2_ = new QLabel(QStringLiteral("File Format:"), client_);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setFont(platform::Arial(9));
    label2_->setGeometry(at(120, 5760, 975, 255));

    command11_ = new QPushButton(QStringLiteral("View"), client_);
    command11_->setObjectName(QStringLiteral("Command11"));
    command11_->setGeometry(at(9120, 6120, 855, 325));

    command10_ = new QPushButton(QStringLiteral("Browse"), client_);
    command10_->setObjectName(QStringLiteral("Command10"));
    command10_->setFont(platform::Arial(9));
    command10_->setGeometry(at(8040, 6120, 975, 325));

    combo2_ = new platform::ComboBox(platform::ComboBox::Style::EditableDropDown, client_);
    combo2_->setObjectName(QStringLiteral("Combo2"));
    combo2_->setGeometry(at(2160, 6120, 5775, 330));

    label1_ = new QLabel(QStringLiteral("Select  output directory:"), client_);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setFont(platform::Arial(9));
    label1_->setGeometry(at(120, 6120, 1935, 255));
}

void Form1::BuildMenus() {
    QMenuBar* bar = menuBar();
    const auto entry = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    const auto on = [this](QAction* action, void (*command)(Form1&)) {
        connect(action, &QAction::triggered, this, [this, command] { command(*this); });
    };

    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("EE"));
    on(entry(file, "AddFolder", QStringLiteral("Add Folder")), &sources::AddSourceFolder);
    on(entry(file, "AddExcel", QStringLiteral("Add Excel")), &sources::AddSourceFile);

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("FF"));
    on(entry(edit, "RemoveItem", QStringLiteral("Remove Item")), &sources::RemoveSourceEntry);
    on(entry(edit, "RemoveAll", QStringLiteral("Remove All Items")),
       &sources::RemoveAllSourceEntries);
    on(entry(edit, "Removeoutput", QStringLiteral("Remove Current Output Directory")),
       &output::RemoveOutputFolder);
    on(entry(edit, "RemoveAllOutput", QStringLiteral("Remove All Output Directory")),
       &output::RemoveAllOutputFolders);

    QMenu* actions = bar->addMenu(QStringLiteral("Actions"));
    actions->setObjectName(QStringLiteral("Actions"));
    on(entry(actions, "Separate", QStringLiteral("Convert")), &convert::RunConversion);

    // A top-level entry that runs its command itself and opens no submenu.
    QAction* settings = bar->addAction(QStringLiteral("Settings"));
    settings->setObjectName(QStringLiteral("Settings"));
    on(settings, &state::ShowSettingDialog);

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help"));
    on(entry(help, "Help1", QStringLiteral("Help")), &about::OpenHelpFile);
    on(entry(help, "HomePage", QStringLiteral("HomePage")), &about::OpenHomePage);
    on(entry(help, "About", QStringLiteral("About")), &about::ShowAboutBox);
}

void Form1::SetTabOrder() {
    const QList<QWidget*> order{command5_, command1_, command2_,  command6_,  command8_,
                                command7_, command9_, listView1_, listView2_, command3_,
                                command4_, combo1_,   command11_, command10_, combo2_};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void Form1::Wire() {
    const auto on = [this](QAbstractButton* button, void (*command)(Form1&)) {
        connect(button, &QAbstractButton::clicked, this, [this, command] { command(*this); });
    };
    on(command5_, &sources::AddSourceFolder);
    on(command1_, &sources::AddSourceFile);
    on(command2_, &sources::RemoveSourceEntry);
    on(command3_, &sources::MoveSourceEntryUp);
    on(command4_, &sources::MoveSourceEntryDown);
    on(command6_, &convert::RunConversion);
    on(command10_, &output::BrowseOutputFolder);
    on(command11_, &output::ViewOutputFolder);
    on(command8_, &about::OpenHelpFile);
    on(command7_, &about::OpenHomePage);
    connect(command9_, &QAbstractButton::clicked, this, &Form1::Unload);
    // Whatever the user does to choose an entry shows its files; Convert relies on it.
    connect(listView1_, &platform::ListView::SelectionChosen, this,
            [this] { sources::ShowSourceEntryFiles(*this); });
}

void Form1::SetMousePointer(MousePointer pointer) {
    mousePointer_ = pointer;
    if (pointer == MousePointer::Hourglass) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        ShutDown(*this);
    }
    event->accept();
}

}  // namespace tabrook::app
