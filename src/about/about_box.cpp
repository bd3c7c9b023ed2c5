#include "about/about_box.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "about/help_commands.h"
#include "about/link_label.h"
#include "about/maker_info.h"
#include "platform/controls/icons.h"
#include "platform/controls/twips.h"
#include "platform/controls/window_style.h"

namespace tabrook::about {
namespace {

constexpr int kClientLeftTwips = 2760;
constexpr int kClientTopTwips = 3456;
constexpr int kClientWidthTwips = 4908;
constexpr int kClientHeightTwips = 4104;
constexpr int kPictureSize = 48;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Makes `label` as wide as its text needs, but never past `rightEdge` of its container and
// never narrower than laid out.
void WidenToFit(QLabel& label, int rightEdge) {
    const int needed = label.fontMetrics().horizontalAdvance(label.text());
    const int width = std::max(label.width(), std::min(needed, rightEdge - label.x()));
    label.resize(width, label.height());
}

}  // namespace

QString AboutVersionText() {
    return QStringLiteral("Version:29.11.15");
}

QString RightsNotice() {
    return QStringLiteral("Copyright \u00A9 2009 ") + FromUtf8(CompanyName());
}

QString LegalWarning() {
    return QStringLiteral(
        "Warning: this program is protected by copyright law. Copying it or passing it on, "
        "whole or in part, without the maker's permission is not allowed and may be "
        "prosecuted. It comes without any warranty: keep copies of your workbooks.");
}

Dialog1::Dialog1(platform::Shell& shell) : QDialog(nullptr, platform::kFixedDialogFlags) {
    setObjectName(QStringLiteral("Dialog1"));
    setWindowTitle(QStringLiteral("About us"));
    const QIcon icon = platform::ResourceIcon(QStringLiteral("application.svg"), kPictureSize);
    setWindowIcon(icon);
    picture_ = icon.pixmap(kPictureSize, kPictureSize);
    setFont(platform::Arial(8.4));

    const auto at = [this](int left, int top, int width, int height) {
        return platform::TwipsRect(this, left, top, width, height);
    };

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("OKButton"));
    okButton_->setGeometry(at(120, 3600, 1215, 375));
    okButton_->setAutoDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &Dialog1::accept);

    AddLabel(this, "Label1", QStringLiteral("Tabrook"), at(840, 240, 2055, 255));
    AddLabel(this, "Label4", AboutVersionText(), at(840, 480, 1455, 255));
    QLabel* label5 = AddLabel(this, "Label5", LegalWarning(), at(120, 2280, 4695, 1095));
    label5->setWordWrap(true);
    label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    frame1_ = new QGroupBox(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(at(240, 960, 4450, 1090));

    label2_ = new LinkLabel(FromUtf8(SupportEmailAddress()), frame1_);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(at(1800, 240, 2290, 250));
    label2_->setFont(platform::Arial(9));
    AddLabel(frame1_, "Label3", QStringLiteral("Technical Support:"), at(120, 240, 1690, 250));
    AddLabel(frame1_, "Label6", RightsNotice(), at(120, 720, 3135, 255))
        ->setFont(platform::Arial(9));
    AddLabel(frame1_, "Label7", QStringLiteral(" Website:"), at(120, 480, 850, 250));
    label8_ = new LinkLabel(FromUtf8(WebSiteHost()), frame1_);
    label8_->setObjectName(QStringLiteral("Label8"));
    label8_->setGeometry(at(1800, 480, 1930, 250));
    label8_->setFont(platform::Arial(9));

    // These texts are set when the build is configured and may be longer than the places
    // laid out for them: widen them up to the frame's edge rather than cut them off.
    for (QLabel* label : {static_cast<QLabel*>(label2_), static_cast<QLabel*>(label8_),
                          frame1_->findChild<QLabel*>(QStringLiteral("Label6"))}) {
        WidenToFit(*label, frame1_->width() - platform::TwipsToPixels(this, 120));
    }

    connect(label2_, &LinkLabel::Click, this, [this, &shell] { OpenSupportMail(shell, this); });
    connect(label8_, &LinkLabel::Click, this, [this, &shell] { OpenWebSite(shell, this); });

    platform::PlaceFixed(*this, kClientLeftTwips, kClientTopTwips, kClientWidthTwips,
                         kClientHeightTwips);
    okButton_->setFocus(Qt::OtherFocusReason);
}

QLabel* Dialog1::AddLabel(QWidget* container, const char* name, const QString& text,
                          QRect geometry) {
    auto* label = new QLabel(text, container);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

void Dialog1::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

}  // namespace tabrook::about
