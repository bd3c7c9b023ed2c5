// The .xlsb transcoder on a package in LibreOffice's shape with one part replaced: the first
// input byte picks the part, the rest is its new content.

#include <cstddef>
#include <cstdint>

#include "base_package.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/xlsb/transcoder.h"
#include "scratch_dir.h"

namespace package = tabrook::calcserver::package;
namespace xlsb = tabrook::calcserver::xlsb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto& parts = tabrook::fuzz::BasePackage();
    const std::size_t replaced = data[0] % parts.size();
    const tabrook::fuzz::ScratchDir dir;
    const auto packageFile = dir.Path("in.xlsx");
    {
        package::ZipWriter writer(packageFile, package::ZipWriter::Compression::Fast);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            writer.Add(parts[i].name, i == replaced
                                          ? std::string(tabrook::fuzz::AsText(data + 1, size - 1))
                                          : parts[i].xml);
        }
        writer.Commit();
    }
    try {
        xlsb::TranscodeToXlsb(packageFile, dir.Path("out.xlsb"));
    } catch (const xlsb::XlsbError&) {
        // Refused in plain words: the right answer to a package it cannot transcode.
    }
    return 0;
}
