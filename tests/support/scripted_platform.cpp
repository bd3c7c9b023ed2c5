#include "support/scripted_platform.h"

#include <memory>

namespace tabrook::testing {

using platform::Arguments;
using platform::AutomationError;
using platform::ObjectRef;
using platform::Variant;

void ScriptedMessageBoxes::Show(QWidget* owner, const std::string& text,
                                platform::MessageIcon icon) {
    shown.push_back({text, icon});
    owners.push_back(owner);
}

bool ScriptedShell::Open(QWidget* owner, const std::string& target,
                         platform::ShowCommand showCommand) {
    calls.push_back({target, showCommand, owner});
    return true;
}

// One object of the scripted server: the application, its workbook collection or a workbook.
class ScriptedObject final : public platform::AutomationObject {
  public:
    ScriptedObject(ScriptedServer& server, std::string name, bool isApplication)
        : server_(server), name_(std::move(name)), isApplication_(isApplication) {
        if (isApplication_) {
            ++server_.instancesAlive;
        }
    }
    ~ScriptedObject() override {
        if (isApplication_) {
            --server_.instancesAlive;
        }
    }

    Variant Get(std::string_view member) override {
        server_.Record({name_, std::string(member), "get", {}, {}});
        server_.MaybeFail(std::string(member));
        if (member == "Workbooks") {
            return ObjectRef(std::make_shared<ScriptedObject>(server_, "Workbooks", false));
        }
        return {};
    }

    void Put(std::string_view member, const Variant& value) override {
        server_.Record({name_, std::string(member), "put", {}, value});
        server_.MaybeFail(std::string(member));
    }

    Variant Call(std::string_view member, const Arguments& arguments) override {
        server_.Record({name_, std::string(member), "call", arguments, {}});
        server_.MaybeFail(std::string(member));
        if (member == "Open") {
            return ObjectRef(std::make_shared<ScriptedObject>(server_, "Workbook", false));
        }
        return {};
    }

  private:
    ScriptedServer& server_;
    std::string name_;
    bool isApplication_;
};

void ScriptedServer::Register(platform::AutomationRegistry& registry, const std::string& progId) {
    registry.Register(progId, [this]() -> ObjectRef {
        Record({"", "Excel.Application", "create", {}, {}});
        MaybeFail("create");
        ++instancesCreated;
        return std::make_shared<ScriptedObject>(*this, "Application", true);
    });
}

void ScriptedServer::FailAt(std::string step, std::int32_t number, std::string description) {
    failures_[std::move(step)] = {number, std::move(description)};
}

std::vector<std::string> ScriptedServer::Steps() const {
    std::vector<std::string> steps;
    for (const MemberCall& call : calls) {
        steps.push_back(call.kind == "create" ? "create" : call.member);
    }
    return steps;
}

void ScriptedServer::Record(MemberCall call) {
    calls.push_back(std::move(call));
}

void ScriptedServer::MaybeFail(const std::string& step) {
    if (const auto found = failures_.find(step); found != failures_.end()) {
        throw AutomationError(found->second.number, found->second.description);
    }
}

}  // namespace tabrook::testing
