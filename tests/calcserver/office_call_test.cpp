// Calls on the office: which failures end it, and that a call abandoned past its time
// limit owns everything it still touches.

#include <gtest/gtest.h>

#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <future>
#include <stdexcept>

#include "calcserver/office/call_failure.h"
#include "calcserver/office/call_runner.h"

namespace tabrook::calcserver::office {
namespace {

namespace css = com::sun::star;

TEST(OfficeCall, OnlyALostConnectionEndsTheOffice) {
    struct Case {
        const char* name;
        std::exception_ptr failure;
        bool officeGone;
        const char* reason;
    };
    const Case cases[] = {
        {"disposed bridge",
         std::make_exception_ptr(css::lang::DisposedException("Binary URP bridge disposed")), true,
         "the connection was lost (Binary URP bridge disposed)"},
        {"runtime", std::make_exception_ptr(css::uno::RuntimeException("no sheet")), false,
         "no sheet"},
        {"illegal argument",
         std::make_exception_ptr(css::lang::IllegalArgumentException("bad filter", {}, 1)), false,
         "bad filter"},
        {"io", std::make_exception_ptr(css::io::IOException("disk full")), false, "disk full"},
        {"silent", std::make_exception_ptr(css::uno::Exception()), false, "no reason given"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CallFailure failure = ClassifyCallFailure(c.failure);
        EXPECT_EQ(failure.officeGone, c.officeGone);
        EXPECT_EQ(failure.reason, c.reason);
    }
    EXPECT_THROW(ClassifyCallFailure(std::make_exception_ptr(std::logic_error("ours"))),
                 std::logic_error);
}

// Times a call out and returns, leaving the call running; its state lives in the call.
std::shared_future<void> AbandonACall(const std::shared_future<void>& release) {
    CallRunner runner(std::chrono::milliseconds(0));
    auto finished = std::make_shared<std::promise<void>>();
    auto done = finished->get_future().share();
    auto result = std::make_shared<std::string>();
    const bool completed = runner.Run(
        [release, finished, result] {
            release.wait();
            result->assign(1000, 'x');
            finished->set_value();
            throw std::runtime_error("after its caller has gone");
        },
        std::chrono::milliseconds(0), [] {});
    EXPECT_FALSE(completed);
    return done;
}

TEST(OfficeCall, AnAbandonedCallRunsOnAfterItsCallerAndRunnerHaveGone) {
    std::promise<void> release;
    const auto done = AbandonACall(release.get_future().share());
    release.set_value();
    done.wait();
}

}  // namespace
}  // namespace tabrook::calcserver::office
