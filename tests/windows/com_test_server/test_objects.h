#pragma once
// The three objects ConvertWorkbook talks to: the application, its workbook collection
// and one open workbook.

#include "com_test_server/dispatch_object.h"

namespace tabrook::testserver {

class ApplicationObject final : public DispatchObject {
  public:
    explicit ApplicationObject(ServerProcess& process);

  protected:
    const std::vector<Member>& Members() const override;
    void Run(const Member& member, WORD flags, const CallArguments& arguments,
             VARIANT* result) override;

  private:
    bool displayAlerts_ = true;
};

class WorkbooksObject final : public DispatchObject {
  public:
    explicit WorkbooksObject(ServerProcess& process);

  protected:
    const std::vector<Member>& Members() const override;
    void Run(const Member& member, WORD flags, const CallArguments& arguments,
             VARIANT* result) override;
};

class WorkbookObject final : public DispatchObject {
  public:
    WorkbookObject(ServerProcess& process, std::string sourcePath);

  protected:
    const std::vector<Member>& Members() const override;
    void Run(const Member& member, WORD flags, const CallArguments& arguments,
             VARIANT* result) override;

  private:
    std::string sourcePath_;
    bool closed_ = false;
};

}  // namespace tabrook::testserver
