#include "platform/controls/progress_bar.h"

namespace tabrook::platform {

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void ProgressBar::SetValue(int value) {
    setValue(value);
    if (isVisible()) {
        repaint();
    }
}

}  // namespace tabrook::platform
