#include "calcserver/server/calc_instance.h"

#include "calcserver/finish/finish_process.h"
#include "calcserver/office/office_session.h"
#include "calcserver/server/office_pool.h"
#include "platform/automation.h"

namespace tabrook::calcserver::server {

CalcInstance::CalcInstance(std::shared_ptr<OfficePool> pool,
                           std::unique_ptr<office::OfficeSession> session)
    : pool_(std::move(pool)), session_(std::move(session)) {}

CalcInstance::~CalcInstance() {
    pool_->GiveBack(std::move(finisher_));
}

finish::FinishingProcess& CalcInstance::Finisher() {
    if (!finisher_) {
        finisher_ = pool_->AcquireFinisher();
    }
    return *finisher_;
}

office::OfficeSession& CalcInstance::Session() {
    if (!session_) {
        throw platform::AutomationError(platform::kErrServerUnavailable,
                                        "This server instance has already quit.");
    }
    return *session_;
}

void CalcInstance::Quit() {
    office::OfficeSession& session = Session();
    if (!session.Usable()) {
        session_.reset();
        throw platform::AutomationError(platform::kErrServerDied,
                                        "The LibreOffice process of this server has ended.");
    }
    pool_->GiveBack(std::move(session_));
}

}  // namespace tabrook::calcserver::server
