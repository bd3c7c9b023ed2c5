#include "calcserver/server/office_pool.h"

#include "calcserver/finish/finish_process.h"
#include "calcserver/office/office_environment.h"
#include "calcserver/office/office_session.h"

namespace tabrook::calcserver::server {
namespace {

constexpr std::size_t kMaxInstancesPerOffice = 100;

}  // namespace

OfficePool::OfficePool(office::OfficeLimits limits, std::size_t maxIdle)
    : limits_(limits), maxIdle_(maxIdle) {}

OfficePool::~OfficePool() = default;

std::unique_ptr<office::OfficeSession> OfficePool::Acquire() {
    std::unique_ptr<office::OfficeSession> session;
    std::shared_ptr<office::OfficeEnvironment> environment;
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            session = std::move(idle_.back());
            idle_.pop_back();
        }
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
    // An office grows with every workbook it has loaded; a fresh one costs a start.
    if (!session || session->CountServed() >= kMaxInstancesPerOffice || !session->MakeClean()) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (idle_.size() < maxIdle_) {
        idle_.push_back(std::move(session));
    }
    // else the surplus session ends here, with its process
}

std::unique_ptr<finish::FinishingProcess> OfficePool::AcquireFinisher() {
    std::lock_guard lock(mutex_);
    if (idleFinishers_.empty()) {
        return std::make_unique<finish::FinishingProcess>();
    }
    std::unique_ptr<finish::FinishingProcess> finisher = std::move(idleFinishers_.back());
    idleFinishers_.pop_back();
    return finisher;
}

void OfficePool::GiveBack(std::unique_ptr<finish::FinishingProcess> finisher) {
    if (!finisher || !finisher->Reusable()) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (idleFinishers_.size() < maxIdle_) {
        idleFinishers_.push_back(std::move(finisher));
    }
}

}  // namespace tabrook::calcserver::server
