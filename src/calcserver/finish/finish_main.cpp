// tabrook-finish: the finishing steps of saves, in a process of their own, started by the
// conversion server as "tabrook-finish --serve" with a socket for standard input and output.
// It answers one request after another (finish_protocol.h) until the socket closes, and
// ends at once when the server does.

#include <malloc.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <new>
#include <string_view>
#include <thread>

#include "calcserver/finish/finish_package.h"
#include "calcserver/finish/finish_protocol.h"
#include "calcserver/input_limits.h"
#include "platform/automation.h"

namespace {

namespace finish = tabrook::calcserver::finish;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the sanitizer reserves terabytes of address space
#else
constexpr bool kSanitized = false;
#endif

void LimitMemory() {
    if (!kSanitized) {
        const rlimit memory{tabrook::calcserver::kFinishMemoryLimit,
                            tabrook::calcserver::kFinishMemoryLimit};
        ::setrlimit(RLIMIT_AS, &memory);
    }
}

// Free heap a kept process may hold on to between saves. Memory handed back to the system
// costs a page fault per page when the next workbook takes it again, which on a virtual
// machine is several microseconds a page; a small reserve spares that for the many small
// workbooks, while a big workbook's peak still goes back.
constexpr std::size_t kKeptFreeHeap = 64u << 20;

void KeepHeapBetweenSaves() {
    ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(kKeptFreeHeap));
    // Parts and buffers below this size come from the heap and are reused, instead of being
    // mapped afresh and faulted in for every workbook.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
}

void GiveBackBigPeak() {
    if (::mallinfo2().fordblks > kKeptFreeHeap) {
        ::malloc_trim(0);
    }
}

// A server that ends, however it ends, closes its end of the socket; a step must not go on
// writing for nobody.
void EndWithTheServer() {
    std::thread([] {
        pollfd hangUp{STDIN_FILENO, POLLRDHUP, 0};
        while (::poll(&hangUp, 1, -1) < 0 && errno == EINTR) {
        }
        ::_exit(3);
    }).detach();
}

finish::FinishAnswer Refusal(const tabrook::platform::AutomationError& error) {
    finish::FinishAnswer answer;
    answer.number = error.Number();
    answer.description = error.Description();
    return answer;
}

// Runs one request. A step that ran out of memory may have left the heap in pieces, so the
// answer asks the server to end this process.
finish::FinishAnswer Serve(const finish::FinishRequest& request) {
    try {
        finish::FinishAnswer answer;
        answer.placed = true;
        answer.text = finish::FinishPackage(request).Serialize();
        return answer;
    } catch (const tabrook::platform::AutomationError& error) {
        return Refusal(error);
    } catch (const std::bad_alloc&) {
        finish::FinishAnswer answer = Refusal(finish::SaveRefused(
            request.target, "the workbook needs more memory than a workbook may take."));
        answer.retire = true;
        return answer;
    } catch (const std::exception& error) {
        return Refusal(finish::SaveRefused(request.target, std::string(error.what()) + "."));
    }
}

std::string AnswerFrame(const finish::FinishAnswer& answer) {
    std::string body = finish::EncodeAnswer(answer);
    if (body.size() > finish::kMaxFrameBody) {
        finish::FinishAnswer placed;  // the target is placed; only the report is lost
        placed.placed = true;
        placed.retire = answer.retire;
        body = finish::EncodeAnswer(placed);
    }
    return finish::Frame(body);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string_view(argv[1]) != "--serve") {
        std::cerr << "tabrook-finish is started by Tabrook itself\n";
        return 2;
    }
    LimitMemory();
    KeepHeapBetweenSaves();
    EndWithTheServer();
    finish::FrameReader reader;
    for (;;) {
        while (const std::optional<std::string> body = reader.Next()) {
            const std::optional<finish::FinishRequest> request = finish::DecodeRequest(*body);
            if (!request) {
                return 2;
            }
            if (!finish::SendAll(STDOUT_FILENO, AnswerFrame(Serve(*request)))) {
                return 0;
            }
            // A process kept between saves holds a small reserve, not a big workbook's
            // peak; the server is already on its way with the answer.
            GiveBackBigPeak();
        }
        if (reader.Broken()) {
            return 2;
        }
        if (!reader.ReadFrom(STDIN_FILENO)) {
            return reader.Pending() ? 2 : 0;
        }
    }
}
