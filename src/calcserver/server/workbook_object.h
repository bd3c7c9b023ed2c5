#pragma once
// A workbook opened by Workbooks.Open: SaveAs and Close, and ConversionReport (get): what
// the finishing steps of the last SaveAs changed or could not keep, as the report's text.
// The last member is the server's own; a caller that wants it tolerates 438 elsewhere.

#include <filesystem>
#include <memory>

#include "calcserver/office/office_session.h"
#include "calcserver/report/conversion_report.h"
#include "platform/automation.h"

namespace tabrook::calcserver::server {

class CalcInstance;

class WorkbookObject : public platform::AutomationObject {
  public:
    WorkbookObject(std::shared_ptr<CalcInstance> instance,
                   office::OfficeSession::DocumentId document, std::filesystem::path source);

    platform::Variant Get(std::string_view member) override;
    void Put(std::string_view member, const platform::Variant& value) override;
    platform::Variant Call(std::string_view member, const platform::Arguments& arguments) override;

  private:
    void SaveAs(const platform::Arguments& arguments);
    void Close();

    std::shared_ptr<CalcInstance> instance_;
    office::OfficeSession::DocumentId document_;
    std::filesystem::path source_;
    bool closed_ = false;
    int saves_ = 0;
    report::ConversionReport lastReport_;
};

}  // namespace tabrook::calcserver::server
