#include "calcserver/server/office_pool.h"

#include <utility>

#include "calcserver/office/office_environment.h"
#include "calcserver/office/office_session.h"

namespace tabrook::calcserver::server {

OfficePool::OfficePool(office::OfficeLimits limits) : limits_(limits) {}

OfficePool::~OfficePool() = default;

std::unique_ptr<office::OfficeSession> OfficePool::Acquire() {
    std::unique_ptr<office::OfficeSession> session;
    std::shared_ptr<office::OfficeEnvironment> environment;
    {
        std::lock_guard lock(mutex_);
        session = std::move(idle_);
        if (!environment_) {
            environment_ = office::OfficeEnvironment::Create();
        }
        environment = environment_;
    }
    if (session && session->Usable()) {
        return session;
    }
    session.reset();
    return std::make_unique<office::OfficeSession>(environment, limits_);
}

void OfficePool::GiveBack(std::unique_ptr<office::OfficeSession> session) {
    if (!session || !session->MakeClean()) {
        return;
    }
    std::unique_ptr<office::OfficeSession> surplus;
    std::lock_guard lock(mutex_);
    surplus = std::exchange(idle_, std::move(session));
}

}  // namespace tabrook::calcserver::server
