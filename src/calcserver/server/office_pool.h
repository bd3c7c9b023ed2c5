#pragma once
// Keeps at most one idle office process, left by an instance that ended with a clean
// Quit, so that the next instance need not wait for LibreOffice to start.

#include <memory>
#include <mutex>

#include "calcserver/office/office_limits.h"

namespace tabrook::calcserver::office {
class OfficeEnvironment;
class OfficeSession;
}  // namespace tabrook::calcserver::office

namespace tabrook::calcserver::server {

class OfficePool {
  public:
    explicit OfficePool(office::OfficeLimits limits);
    ~OfficePool();
    OfficePool(const OfficePool&) = delete;
    OfficePool& operator=(const OfficePool&) = delete;

    // The idle process when it is still sound, else a new one. Throws AutomationError 429.
    std::unique_ptr<office::OfficeSession> Acquire();
    // Keeps a clean, sound process for the next Acquire; ends any other.
    void GiveBack(std::unique_ptr<office::OfficeSession> session);

  private:
    std::mutex mutex_;
    office::OfficeLimits limits_;
    std::shared_ptr<office::OfficeEnvironment> environment_;
    std::unique_ptr<office::OfficeSession> idle_;
};

}  // namespace tabrook::calcserver::server
