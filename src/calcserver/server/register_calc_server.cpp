#include "calcserver/server/register_calc_server.h"

#include <exception>
#include <memory>

#include "calcserver/office/office_session.h"
#include "calcserver/server/application_object.h"
#include "calcserver/server/calc_instance.h"
#include "calcserver/server/office_pool.h"

namespace tabrook::calcserver {

void RegisterCalcServer(platform::AutomationRegistry& registry) {
    RegisterCalcServer(registry, CalcServerOptions{});
}

void RegisterCalcServer(platform::AutomationRegistry& registry, const CalcServerOptions& options) {
    // The pool lives in the factory, and with every instance it made, so an idle process
    // is shared across CreateObject calls without any global.
    auto pool = std::make_shared<server::OfficePool>(options.limits, options.idleOffices);
    registry.Register("Excel.Application", [pool]() -> platform::ObjectRef {
        try {
            auto instance = std::make_shared<server::CalcInstance>(pool, pool->Acquire());
            return std::make_shared<server::ApplicationObject>(std::move(instance));
        } catch (const platform::AutomationError&) {
            throw;
        } catch (const std::exception& error) {
            throw platform::AutomationError(
                platform::kErrCannotCreateObject,
                std::string("ActiveX component can't create object: ") + error.what());
        }
    });
}

}  // namespace tabrook::calcserver
