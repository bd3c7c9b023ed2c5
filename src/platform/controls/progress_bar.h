#pragma once

#include <QProgressBar>

namespace tabrook::platform {

class ProgressBar : public QProgressBar {
    Q_OBJECT
  public:
    explicit ProgressBar(QWidget* parent = nullptr);
    void SetMax(int max) { setMaximum(max); }
    // Paints at once: a run does not return to the event loop until it ends.
    void SetValue(int value);
};

}  // namespace tabrook::platform
