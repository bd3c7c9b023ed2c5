#pragma once
// A small workbook package in the shape LibreOffice writes, for the .xlsb fuzzer: the
// fuzzer replaces one part and keeps the rest, so every input gets past the zip layer.

#include <string>
#include <vector>

namespace tabrook::fuzz {

struct PackagePart {
    std::string name;
    std::string xml;
};

// The parts in a fixed order; an input's first byte picks the one it replaces.
const std::vector<PackagePart>& BasePackage();

// The worksheet parts of the base package and a few more, as seeds for sheet readers.
std::vector<std::string> SampleWorksheets();

}  // namespace tabrook::fuzz
