#pragma once
// What the finishing steps of one save changed or could not keep, in one shape every step
// adds to: counts by name, and a list of {step, what, where} items. It crosses process
// boundaries (the finishing process, the automation member) as plain text lines.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrook::calcserver::report {

struct ReportItem {
    std::string step;   // "values", "vba", "xlsb", "package", ...
    std::string what;   // a plain sentence
    std::string where;  // "Sheet1!B7", a sheet, a part name; empty when it is the workbook

    bool operator==(const ReportItem&) const = default;
};

class ConversionReport {
  public:
    // Items past this many are only counted, so that a hostile workbook cannot make the
    // report (or the pipe it crosses) grow without end.
    static constexpr std::size_t kMaxItems = 100;
    // Longer texts are cut; a formula or a sheet name can be any length.
    static constexpr std::size_t kMaxText = 200;

    void Count(std::string_view name, std::uint64_t amount);
    void Add(std::string_view step, std::string_view what, std::string_view where = {});

    const std::map<std::string, std::uint64_t, std::less<>>& Counts() const { return counts_; }
    const std::vector<ReportItem>& Items() const { return items_; }
    std::uint64_t ItemsLeftOut() const { return itemsLeftOut_; }
    bool Empty() const { return counts_.empty() && items_.empty() && itemsLeftOut_ == 0; }

    // One line a count ("count\tNAME\tN"), an item ("item\tSTEP\tWHAT\tWHERE") or the
    // items left out ("left\tN"); tab, newline and backslash inside a text are escaped.
    std::string Serialize() const;
    // The report Serialize wrote; empty when the text is not one (a line of another form,
    // a number out of range), so that a damaged text never passes for a report.
    static std::optional<ConversionReport> Parse(std::string_view text);

    bool operator==(const ConversionReport&) const = default;

  private:
    std::map<std::string, std::uint64_t, std::less<>> counts_;
    std::vector<ReportItem> items_;
    std::uint64_t itemsLeftOut_ = 0;
};

}  // namespace tabrook::calcserver::report
