#include "state/setting_dialog.h"

#include <QKeyEvent>
#include <utility>

#include "platform/controls/icons.h"
#include "platform/controls/twips.h"
#include "platform/controls/window_style.h"
#include "platform/message_boxes.h"
#include "state/state_files.h"

namespace tabrook::state {
namespace {

constexpr int kClientLeftTwips = 2760;
constexpr int kClientTopTwips = 3600;
constexpr int kClientWidthTwips = 3732;
constexpr int kClientHeightTwips = 1560;

}  // namespace

Setting::Setting(platform::FileSystem& fileSystem, platform::MessageBoxes& messageBoxes,
                 std::string settingsPath)
    : QDialog(nullptr, platform::kFixedDialogFlags),
      fileSystem_(fileSystem),
      messageBoxes_(messageBoxes),
      settingsPath_(std::move(settingsPath)) {
    setObjectName(QStringLiteral("Setting"));
    setWindowTitle(QStringLiteral("Setting"));
    setWindowIcon(platform::ResourceIcon(QStringLiteral("application.svg"), 48));
    setFont(platform::Arial(8.4));

    const auto at = [this](int left, int top, int width, int height) {
        return platform::TwipsRect(this, left, top, width, height);
    };
    const auto button = [this](const char* name, const QString& caption, QRect geometry) {
        auto* made = new QPushButton(caption, this);
        made->setObjectName(QString::fromLatin1(name));
        made->setGeometry(geometry);
        // No default button: a QDialog would make the first auto-default button its default
        // for good, and Enter would press it from anywhere. keyPressEvent handles Enter.
        made->setAutoDefault(false);
        return made;
    };
    const auto checkBox = [this](const char* name, const QString& caption, QRect geometry) {
        auto* made = new QCheckBox(caption, this);
        made->setObjectName(QString::fromLatin1(name));
        made->setGeometry(geometry);
        return made;
    };
    okButton_ = button("OKButton", QStringLiteral("OK"), at(360, 1080, 1215, 375));
    cancelButton_ = button("CancelButton", QStringLiteral("Cancel"), at(2040, 1080, 1215, 375));
    check1_ = checkBox("Check1", QStringLiteral("Automatically save the current file\r\n"),
                       at(360, 240, 2895, 370));
    check2_ = checkBox("Check2", QStringLiteral("Automatically save the output directory"),
                       at(360, 600, 3135, 255));
    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, check1_);
    setTabOrder(check1_, check2_);

    connect(okButton_, &QPushButton::clicked, this, &Setting::Save);
    connect(cancelButton_, &QPushButton::clicked, this, &Setting::reject);

    platform::PlaceFixed(*this, kClientLeftTwips, kClientTopTwips, kClientWidthTwips,
                         kClientHeightTwips);
    okButton_->setFocus(Qt::OtherFocusReason);
    Load();
}

void Setting::Load() {
    const Preferences preferences = ReadPreferences(fileSystem_, settingsPath_);
    check1_->setChecked(preferences.SaveSourceEntries());
    check2_->setChecked(preferences.SaveOutputFolders());
}

void Setting::Save() {
    if (!WritePreferences(fileSystem_, settingsPath_, check1_->isChecked(), check2_->isChecked())) {
        // Closing would tell the user the choice was kept; stay open so it can be retried.
        messageBoxes_.Show(this, "Failed to save the settings!", platform::MessageIcon::Critical);
        return;
    }
    accept();
}

void Setting::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            // Neither button is the cancel button: Escape must not close the dialog.
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter presses the button that has the focus, and nothing else.
            if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
                focused->click();
            }
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace tabrook::state
