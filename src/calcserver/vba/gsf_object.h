#pragma once
// Ownership of libgsf objects and errors, so that every early exit releases them.

#include <glib-object.h>
#include <glib.h>

#include <memory>
#include <string>

namespace tabrook::calcserver::vba {

struct GObjectUnref {
    void operator()(void* object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};

template <typename T>
using GsfPtr = std::unique_ptr<T, GObjectUnref>;

// Collects a GError and frees it; Message() is empty when none was set.
class GErrorSlot {
  public:
    GErrorSlot() = default;
    ~GErrorSlot() {
        if (error_ != nullptr) {
            g_error_free(error_);
        }
    }
    GErrorSlot(const GErrorSlot&) = delete;
    GErrorSlot& operator=(const GErrorSlot&) = delete;

    GError** Out() { return &error_; }
    std::string Message() const { return error_ != nullptr ? error_->message : ""; }

  private:
    GError* error_ = nullptr;
};

}  // namespace tabrook::calcserver::vba
