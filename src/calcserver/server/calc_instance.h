#pragma once
// What the objects of one "Excel.Application" instance share: its office process. The
// process goes back to the pool only through a clean Quit; when the last reference to the
// instance is dropped without one, the process is ended with it.

#include <memory>

namespace tabrook::calcserver::office {
class OfficeSession;
}
namespace tabrook::calcserver::finish {
class FinishingProcess;
}

namespace tabrook::calcserver::server {

class OfficePool;

class CalcInstance {
  public:
    CalcInstance(std::shared_ptr<OfficePool> pool, std::unique_ptr<office::OfficeSession> session);
    ~CalcInstance();
    CalcInstance(const CalcInstance&) = delete;
    CalcInstance& operator=(const CalcInstance&) = delete;

    // Throws a negative AutomationError once the instance has quit or its process died.
    office::OfficeSession& Session();
    // Closes every workbook and hands the process back to the pool when it is clean.
    void Quit();
    // The process that finishes this instance's saves, from the pool, back there at the end.
    finish::FinishingProcess& Finisher();

    bool displayAlerts = true;

  private:
    std::shared_ptr<OfficePool> pool_;
    std::unique_ptr<office::OfficeSession> session_;
    std::unique_ptr<finish::FinishingProcess> finisher_;
};

}  // namespace tabrook::calcserver::server
