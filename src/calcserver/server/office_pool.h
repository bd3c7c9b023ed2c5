#pragma once
// Keeps idle office processes (at most `maxIdle`, one for the window), left by instances
// that ended with a clean Quit, so that the next instance need not wait for LibreOffice to
// start. A caller converting N workbooks at once keeps N. Finishing processes are kept the
// same way.

#include <memory>
#include <mutex>
#include <vector>

#include "calcserver/office/office_limits.h"

namespace tabrook::calcserver::office {
class OfficeEnvironment;
class OfficeSession;
}  // namespace tabrook::calcserver::office

namespace tabrook::calcserver::finish {
class FinishingProcess;
}

namespace tabrook::calcserver::server {

class OfficePool {
  public:
    OfficePool(office::OfficeLimits limits, std::size_t maxIdle);
    ~OfficePool();
    OfficePool(const OfficePool&) = delete;
    OfficePool& operator=(const OfficePool&) = delete;

    // The idle process when it is still sound, else a new one. Throws AutomationError 429.
    std::unique_ptr<office::OfficeSession> Acquire();
    // Keeps a clean, sound process for the next Acquire; ends any other.
    void GiveBack(std::unique_ptr<office::OfficeSession> session);

    // An idle finishing process, else a new one (it starts at its first save).
    std::unique_ptr<finish::FinishingProcess> AcquireFinisher();
    // Keeps a process that can serve another save; ends any other.
    void GiveBack(std::unique_ptr<finish::FinishingProcess> finisher);

  private:
    std::mutex mutex_;
    office::OfficeLimits limits_;
    std::shared_ptr<office::OfficeEnvironment> environment_;
    std::size_t maxIdle_;
    std::vector<std::unique_ptr<office::OfficeSession>> idle_;
    std::vector<std::unique_ptr<finish::FinishingProcess>> idleFinishers_;
};

}  // namespace tabrook::calcserver::server
