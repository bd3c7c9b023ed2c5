#include "platform/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace tabrook::platform {

void QtMessageBoxes::Show(QWidget* owner, const std::string& text, MessageIcon icon) {
    QMessageBox box(owner);
    box.setWindowTitle(QApplication::applicationName());
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case MessageIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace tabrook::platform
