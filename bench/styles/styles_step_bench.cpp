// Times the formatting step against the cell-value step on packages the office wrote:
//   styles_step_bench SOURCE_DIR PACKAGE_DIR
// pairs NAME.xls with NAME.xlsx, runs both steps on a private copy of each package and
// prints the seconds each step took over all pairs.

#include <chrono>
#include <filesystem>
#include <iostream>

#include "calcserver/cellexact/cell_exact.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/styles/source_formatting.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: styles_step_bench SOURCE_DIR PACKAGE_DIR\n";
        return 2;
    }
    const fs::path scratch = fs::temp_directory_path() / "tabrook-styles-bench.xlsx";
    double cellSeconds = 0;
    double styleSeconds = 0;
    int pairs = 0;
    for (const auto& entry : fs::directory_iterator(argv[1])) {
        const fs::path package = fs::path(argv[2]) / entry.path().stem().concat(".xlsx");
        if (entry.path().extension() != ".xls" || !fs::exists(package)) {
            continue;
        }
        fs::copy_file(package, scratch, fs::copy_options::overwrite_existing);
        try {
            const auto start = Clock::now();
            tabrook::calcserver::cellexact::ApplyStoredValues(entry.path(), scratch, scratch);
            const auto middle = Clock::now();
            tabrook::calcserver::styles::ApplySourceFormatting(entry.path(), scratch, scratch);
            const auto end = Clock::now();
            cellSeconds += std::chrono::duration<double>(middle - start).count();
            styleSeconds += std::chrono::duration<double>(end - middle).count();
            ++pairs;
        } catch (const tabrook::calcserver::package::PackageError& error) {
            std::cout << entry.path().filename().string() << ": " << error.what() << '\n';
        }
    }
    fs::remove(scratch);
    std::cout << "pairs " << pairs << ", cell-value step " << cellSeconds << " s, formatting step "
              << styleSeconds << " s\n";
    return 0;
}
