#pragma once
// A label that acts as a link: drawn in the highlight colour, with the link cursor over it,
// and reporting a click (press and release inside it with the left button).

#include <QLabel>

namespace tabrook::about {

class LinkLabel final : public QLabel {
    Q_OBJECT
  public:
    LinkLabel(const QString& text, QWidget* parent);

  signals:
    void Click();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool pressed_ = false;
};

}  // namespace tabrook::about
