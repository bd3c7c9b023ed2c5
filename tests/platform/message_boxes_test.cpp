#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace tabrook::platform {
namespace {

TEST(MessageBoxes, ShowFileNamesAsWrittenWhateverTheIcon) {
    // Text that Qt would otherwise take for markup: bold tags, an entity, a line break tag.
    const std::string text = "Convert <b>x</b> &amp; y<br>z file failed!";
    for (const MessageIcon icon :
         {MessageIcon::Critical, MessageIcon::Information, MessageIcon::None}) {
        const std::unique_ptr<QMessageBox> box = MakeMessageBox(nullptr, text, icon);
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text().toStdString(), text);
        EXPECT_EQ(box->windowTitle(), QApplication::applicationName());
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    }
}

}  // namespace
}  // namespace tabrook::platform
