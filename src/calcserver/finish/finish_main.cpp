// tabrook-finish: the finishing steps of one save, in a process of their own, started by
// the conversion server. Usage: tabrook-finish PARENT_PID SOURCE OFFICE_OUTPUT FORMAT TARGET.
// Exit status 0: the target is placed; standard output holds the report of what the steps
// changed. 1: refused; standard output holds the error number, a newline and the description.

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <iostream>
#include <new>
#include <string_view>

#include "calcserver/finish/finish_package.h"
#include "calcserver/input_limits.h"
#include "platform/automation.h"

namespace {

using tabrook::calcserver::finish::FinishRequest;
using tabrook::calcserver::finish::SaveRefused;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the sanitizer reserves terabytes of address space
#else
constexpr bool kSanitized = false;
#endif

bool ParseInt(std::string_view text, long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Ends with the server that started it, and never takes more memory than the bound.
bool BindToParent(long long parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        return false;  // the server is gone already
    }
    if (!kSanitized) {
        const rlimit memory{tabrook::calcserver::kFinishMemoryLimit,
                            tabrook::calcserver::kFinishMemoryLimit};
        ::setrlimit(RLIMIT_AS, &memory);
    }
    return true;
}

int Refuse(const tabrook::platform::AutomationError& error) {
    std::cout << error.Number() << '\n' << error.Description() << std::flush;
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    long long parent = 0;
    long long format = 0;
    if (argc != 6 || !ParseInt(argv[1], parent) || !ParseInt(argv[4], format)) {
        std::cerr << "tabrook-finish is started by Tabrook itself\n";
        return 2;
    }
    if (!BindToParent(parent)) {
        return 3;
    }
    const FinishRequest request{argv[2], argv[3], static_cast<std::int32_t>(format), argv[5]};
    try {
        std::cout << tabrook::calcserver::finish::FinishPackage(request).Serialize() << std::flush;
        return 0;
    } catch (const tabrook::platform::AutomationError& error) {
        return Refuse(error);
    } catch (const std::bad_alloc&) {
        return Refuse(SaveRefused(request.target,
                                  "the workbook needs more memory than a workbook may take."));
    } catch (const std::exception& error) {
        return Refuse(SaveRefused(request.target, std::string(error.what()) + "."));
    }
}
