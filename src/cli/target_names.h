#pragma once
// Where each workbook's result goes. Names are planned over the whole sorted list before
// any shard is cut from it, so every run and every shard gives a workbook the same name;
// at conversion time a name something else took meanwhile moves on by the window's rule.

#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/source_list.h"

namespace tabrook::platform {
class FileSystem;
}

namespace tabrook::cli {

// Extension left out: `outDir`, the workbook's folder under `mirror`, and its name cut
// before its last "."; a name the list would give twice is changed by the free-name rule
// (Book, Book1, Book12, ...) in list order.
std::vector<std::string> PlanTargets(const std::vector<SourceWorkbook>& workbooks,
                                     const std::string& outDir, std::string_view extension,
                                     bool mirror);

// Hands out the final names while workbooks convert at once: safe from any thread.
class TargetClaims {
  public:
    TargetClaims(const platform::FileSystem& fileSystem, const std::vector<std::string>& planned,
                 std::string_view extension);

    // The full name (extension included) for planned name `index`: the planned one when
    // nothing stands there, else the next name free on disk and given to no other workbook
    // of the list or of this run.
    std::string Claim(std::size_t index);

  private:
    std::mutex mutex_;
    const platform::FileSystem& fileSystem_;
    const std::vector<std::string>& planned_;
    std::string extension_;
    std::set<std::string> claimed_;  // full names, extension included
};

}  // namespace tabrook::cli
