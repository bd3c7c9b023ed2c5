#include "platform/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace tabrook::platform {

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const std::string& text,
                                            MessageIcon icon) {
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(QApplication::applicationName());
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(text));
    switch (icon) {
        case MessageIcon::Critical:
            box->setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Information:
            box->setIcon(QMessageBox::Information);
            break;
        case MessageIcon::None:
            box->setIcon(QMessageBox::NoIcon);
            break;
    }
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

void QtMessageBoxes::Show(QWidget* owner, const std::string& text, MessageIcon icon) {
    MakeMessageBox(owner, text, icon)->exec();
}

}  // namespace tabrook::platform
