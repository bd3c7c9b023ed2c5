#include "calcserver/office/call_runner.h"

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <utility>

namespace tabrook::calcserver::office {
struct CallRunner::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::function<void()> task;  // the pending task, empty when none
    std::uint64_t started = 0;
    std::uint64_t finished = 0;
    std::exception_ptr failure;
    bool stopping = false;
    bool abandoned = false;
};

CallRunner::CallRunner(std::chrono::milliseconds cancelGrace)
    : cancelGrace_(cancelGrace), shared_(std::make_shared<Shared>()) {
    // The worker keeps its own reference, so an abandoned worker never touches freed state.
    thread_ = std::thread([shared = shared_] {
        std::unique_lock lock(shared->mutex);
        for (;;) {
            shared->wake.wait(lock, [&] { return shared->stopping || shared->task; });
            if (!shared->task) {
                return;
            }
            std::function<void()> task = std::move(shared->task);
            shared->task = nullptr;
            lock.unlock();
            std::exception_ptr failure;
            try {
                task();
            } catch (...) {
                failure = std::current_exception();
            }
            task = nullptr;
            lock.lock();
            shared->failure = failure;
            ++shared->finished;
            shared->wake.notify_all();
        }
    });
}

CallRunner::~CallRunner() {
    bool abandoned = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        abandoned = shared_->abandoned;
    }
    shared_->wake.notify_all();
    if (abandoned) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

bool CallRunner::Run(std::function<void()> task, std::chrono::milliseconds limit,
                     const std::function<void()>& cancel) {
    std::unique_lock lock(shared_->mutex);
    if (shared_->abandoned) {
        throw std::logic_error("the call worker is stuck");
    }
    const std::uint64_t ticket = ++shared_->started;
    shared_->task = std::move(task);
    shared_->failure = nullptr;
    shared_->wake.notify_all();
    const auto done = [&] { return shared_->finished >= ticket; };
    if (!shared_->wake.wait_for(lock, limit, done)) {
        lock.unlock();
        cancel();
        lock.lock();
        if (!shared_->wake.wait_for(lock, cancelGrace_, done)) {
            shared_->abandoned = true;
        }
        return false;
    }
    if (shared_->failure) {
        std::rethrow_exception(std::exchange(shared_->failure, nullptr));
    }
    return true;
}

}  // namespace tabrook::calcserver::office
