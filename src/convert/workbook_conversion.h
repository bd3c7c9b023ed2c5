#pragma once
// One workbook through a new "Excel.Application" instance: the seven calls, their order and
// the result codes. Nothing here knows the window, so every front end converts the same way.

#include <functional>
#include <string>

namespace tabrook::platform {
class AutomationRegistry;
}

namespace tabrook::convert {

// How one conversion ended, by the numbers the program has always used.
enum class ConvertResult {
    TransportFailure = 0,  // nothing shown; no Close or Quit sent
    Done = 1,
    ServerError = 2,  // the server's description was shown
    SourceMissing = 3,
};

// Shows the server's own description of a failure, once, before Close and Quit are sent.
using DescriptionSink = std::function<void(const std::string& description)>;

// Opens `sourcePath` in a new instance and saves it as `targetPath` plus the extension of
// the format at `formatListIndex` (the format choice's list index, -1 included). An empty
// `sourcePath` gives SourceMissing without starting a server.
ConvertResult ConvertWorkbookFile(const platform::AutomationRegistry& automation,
                                  const std::string& sourcePath, std::string targetPath,
                                  int formatListIndex, const DescriptionSink& showDescription);

}  // namespace tabrook::convert
