#include "calcserver/office/office_environment.h"

#include <signal.h>
#include <stdlib.h>

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <fstream>
#include <system_error>

#include "calcserver/office/file_url.h"
#include "calcserver/office/leftovers.h"
#include "calcserver/office/process_launcher.h"
#include "calcserver/office/uno_runtime.h"
#include "platform/automation.h"

namespace tabrook::calcserver::office {
namespace {

namespace css = com::sun::star;
using platform::AutomationError;
using platform::kErrCannotCreateObject;

// Type and service libraries of the installed office; the office's own bootstrap files
// reach them only through an environment variable, so the runtime gets its own file.
constexpr const char* kBootstrapIni = R"([Bootstrap]
UNO_TYPES=file:///usr/lib/libreoffice/program/types.rdb file:///usr/lib/libreoffice/program/types/offapi.rdb
UNO_SERVICES=file:///usr/lib/libreoffice/program/services.rdb
URE_INTERNAL_LIB_DIR=file:///usr/lib/libreoffice/program
LO_LIB_DIR=file:///usr/lib/libreoffice/program
)";

std::filesystem::path MakePrivateFolder(const std::filesystem::path& temporary) {
    std::string pattern = (temporary / (OwnedFolderPrefix("office") + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw AutomationError(kErrCannotCreateObject,
                              "ActiveX component can't create object: no temporary folder");
    }
    return pattern;
}

}  // namespace

OfficeEnvironment::OfficeEnvironment() = default;

std::shared_ptr<OfficeEnvironment> OfficeEnvironment::Create() {
    // The bridge writes to the office's pipe; when the office dies mid-call the write must
    // fail with EPIPE (a negative error to the caller), not end this program by a signal.
    ::signal(SIGPIPE, SIG_IGN);
    std::shared_ptr<OfficeEnvironment> environment(new OfficeEnvironment());
    const std::filesystem::path temporary = std::filesystem::temp_directory_path();
    // A program killed outright cannot clean up; the next one does it for it.
    RemoveLeftoversOfEndedRuns(temporary);
    environment->folder_ = MakePrivateFolder(temporary);
    const std::filesystem::path ini = environment->folder_ / "uno.ini";
    std::ofstream(ini) << kBootstrapIni;
    environment->uno_ = std::make_unique<Uno>();
    try {
        environment->uno_->context =
            cppu::defaultBootstrap_InitialComponentContext(ToOUString(FileUrl(ini)));
    } catch (const css::uno::Exception& error) {
        throw AutomationError(kErrCannotCreateObject,
                              "ActiveX component can't create object: LibreOffice's runtime "
                              "cannot be loaded (" +
                                  ToUtf8(error.Message) + ")");
    }
    environment->launcher_ = std::make_unique<ProcessLauncher>();
    return environment;
}

OfficeEnvironment::~OfficeEnvironment() {
    launcher_.reset();
    if (uno_ && uno_->context.is()) {
        css::uno::Reference<css::lang::XComponent> component(uno_->context, css::uno::UNO_QUERY);
        uno_->context.clear();
        if (component.is()) {
            try {
                component->dispose();
            } catch (const css::uno::Exception&) {
                // Nothing is left to tell at shutdown.
            }
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::filesystem::path OfficeEnvironment::NewProcessFolder() const {
    std::string pattern = (folder_ / "p-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw AutomationError(kErrCannotCreateObject,
                              "ActiveX component can't create object: no temporary folder");
    }
    return pattern;
}

}  // namespace tabrook::calcserver::office
