#pragma once
// The "Excel.Application" object and its Workbooks collection.

#include <memory>

#include "platform/automation.h"

namespace tabrook::calcserver::server {

class CalcInstance;

class WorkbooksObject : public platform::AutomationObject {
  public:
    explicit WorkbooksObject(std::shared_ptr<CalcInstance> instance);

    platform::Variant Get(std::string_view member) override;
    void Put(std::string_view member, const platform::Variant& value) override;
    // Open(Filename): a WorkbookObject for the file, read-only.
    platform::Variant Call(std::string_view member, const platform::Arguments& arguments) override;

  private:
    std::shared_ptr<CalcInstance> instance_;
};

class ApplicationObject : public platform::AutomationObject {
  public:
    explicit ApplicationObject(std::shared_ptr<CalcInstance> instance);

    // Workbooks, DisplayAlerts.
    platform::Variant Get(std::string_view member) override;
    // DisplayAlerts: stored only; this server never prompts.
    void Put(std::string_view member, const platform::Variant& value) override;
    // Quit.
    platform::Variant Call(std::string_view member, const platform::Arguments& arguments) override;

  private:
    std::shared_ptr<CalcInstance> instance_;
    platform::ObjectRef workbooks_;
};

}  // namespace tabrook::calcserver::server
