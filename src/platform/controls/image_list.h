#pragma once
// A list of small images addressed by 1-based index, as list-view rows refer to them.

#include <QIcon>
#include <vector>

namespace tabrook::platform {

class ImageList {
  public:
    void Add(QIcon icon) { images_.push_back(std::move(icon)); }
    int Count() const { return static_cast<int>(images_.size()); }
    // An empty icon for an index outside the list.
    QIcon Image(int index) const {
        return index >= 1 && index <= Count() ? images_[static_cast<std::size_t>(index - 1)]
                                              : QIcon();
    }

  private:
    std::vector<QIcon> images_;
};

}  // namespace tabrook::platform
