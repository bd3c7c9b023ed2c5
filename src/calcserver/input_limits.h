#pragma once
// Bounds on what the finishing steps accept from a workbook, in one place. A source or a
// package that goes past one is refused or cut back and the loss reported, never followed
// into a crash or an exhausted machine. Most are Excel's own limits.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace tabrook::calcserver {

// Excel nests function calls at most this deep; formulas nested deeper keep their value.
inline constexpr int kMaxFormulaNesting = 64;
// Operator chains ("1+1+1...") build a tree as deep as they are long; every walk over the
// tree recurses, so its depth is bounded well inside any thread's stack.
inline constexpr int kMaxFormulaTreeDepth = 1024;

// Characters a formula's text can hold in Excel; a decoded formula longer than this is
// refused rather than written.
inline constexpr std::size_t kMaxFormulaTextLength = 8192;

// The grid of the formats written: rows and columns past it do not exist in Excel.
inline constexpr std::uint32_t kGridRows = 1u << 20;
inline constexpr std::uint32_t kGridColumns = 1u << 14;

// Characters (UTF-16 units) a cell can hold; Excel cuts longer text to this.
inline constexpr std::size_t kMaxCellTextUnits = 32767;

// The finishing steps of one save run in a process of their own with these bounds: far
// beyond what an honest workbook needs (the steps stream what they can), and a workbook
// that goes past one fails alone while the run goes on.
inline constexpr std::chrono::milliseconds kFinishTimeLimit = std::chrono::minutes(10);
inline constexpr std::size_t kFinishMemoryLimit = std::size_t{6} << 30;  // address space

}  // namespace tabrook::calcserver
