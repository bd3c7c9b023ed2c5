#include "calcserver/office/office_session.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/util/CloseVetoException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <rtl/ref.hxx>
#include <string>
#include <thread>

#include "calcserver/office/call_failure.h"
#include "calcserver/office/call_runner.h"
#include "calcserver/office/file_url.h"
#include "calcserver/office/interaction_handler.h"
#include "calcserver/office/office_environment.h"
#include "calcserver/office/office_process.h"
#include "calcserver/office/uno_runtime.h"
#include "platform/automation.h"

namespace tabrook::calcserver::office {
namespace {

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using platform::AutomationError;

constexpr std::chrono::milliseconds kConnectRetry{50};

// Workbooks Excel itself would open; anything else the office guessed at (text, pictures,
// other documents) is refused rather than "converted".
bool IsExcelImportFilter(const std::string& filter) {
    static constexpr std::array kPrefixes{"MS Excel ", "Calc MS Excel 2007",
                                          "Calc Office Open XML"};
    for (const char* prefix : kPrefixes) {
        if (filter.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

css::beans::PropertyValue Property(const char* name, const css::uno::Any& value) {
    css::beans::PropertyValue property;
    property.Name = rtl::OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

template <std::size_t N>
css::uno::Sequence<css::beans::PropertyValue> AsSequence(
    const std::array<css::beans::PropertyValue, N>& properties) {
    return css::uno::Sequence<css::beans::PropertyValue>(properties.data(),
                                                         static_cast<sal_Int32>(N));
}

std::string FilterOf(const Reference<css::lang::XComponent>& document) {
    Reference<css::frame::XModel> model(document, UNO_QUERY);
    if (!model.is()) {
        return {};
    }
    const auto arguments = model->getArgs();
    for (const auto& argument : arguments) {
        rtl::OUString filter;
        if (argument.Name == "FilterName" && (argument.Value >>= filter)) {
            return ToUtf8(filter);
        }
    }
    return {};
}

bool IsSpreadsheet(const Reference<css::lang::XComponent>& document) {
    Reference<css::lang::XServiceInfo> info(document, UNO_QUERY);
    return info.is() && info->supportsService("com.sun.star.sheet.SpreadsheetDocument");
}

void CloseDocument(const Reference<css::lang::XComponent>& document) {
    Reference<css::util::XCloseable> closeable(document, UNO_QUERY);
    if (closeable.is()) {
        try {
            closeable->close(true);
            return;
        } catch (const css::util::CloseVetoException&) {
            // Someone still holds it; disposing ends it anyway.
        }
    }
    document->dispose();
}

std::string InParentheses(const rtl::OUString& detail) {
    return detail.isEmpty() ? std::string() : " (" + ToUtf8(detail) + ")";
}

std::string Seconds(std::chrono::milliseconds limit) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(limit.count()) / 1000.0);
    return text;
}

AutomationError OpenRefused(const std::filesystem::path& source, const std::string& reason) {
    return AutomationError(platform::kErrApplicationDefined,
                           "Tabrook cannot open '" + source.string() + "': " + reason);
}

// Plain checks before the office sees the file, so the common mistakes read plainly.
void CheckReadable(const std::filesystem::path& source) {
    std::error_code error;
    const auto status = std::filesystem::status(source, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw OpenRefused(source, "the file does not exist.");
    }
    if (status.type() == std::filesystem::file_type::directory) {
        throw OpenRefused(source, "it is a folder, not a workbook file.");
    }
    if (error || status.type() != std::filesystem::file_type::regular) {
        throw OpenRefused(source, "it is not a regular file.");
    }
    std::ifstream probe(source, std::ios::binary);
    if (!probe) {
        throw OpenRefused(source,
                          std::string("the file cannot be read (") + std::strerror(errno) + ").");
    }
    // The office would take an empty file for an empty workbook; there is nothing to convert.
    if (probe.peek() == std::char_traits<char>::eof()) {
        throw OpenRefused(source, "the file is empty.");
    }
}

}  // namespace

struct OfficeSession::Impl {
    Impl(std::shared_ptr<OfficeEnvironment> env, OfficeLimits limitsIn)
        : environment(std::move(env)),
          limits(limitsIn),
          process(std::make_shared<OfficeProcess>(
              environment->Launcher(), environment->NewProcessFolder(), &environment->Profiles())) {
    }

    ~Impl() {
        process->Kill();
        // The worker must stop before the references it used are dropped.
        runner.reset();
        documents.clear();
        desktop.clear();
    }

    // Starts the office; one that would not start from the prepared profile is started
    // again from a fresh one, and one that started fresh leaves its profile prepared.
    void Start();
    void StartProcess();
    // Runs `body` on the worker under `limit`; `body` must own all it touches, since a
    // stuck call is abandoned and may run on after this returns. A lost connection, a dead
    // process or an over-long call kill the process and become negative errors; any other
    // UNO exception is about the one workbook and becomes refused(reason).
    void Call(std::function<void()> body, std::chrono::milliseconds limit,
              const std::function<AutomationError(const std::string&)>& refused);
    [[noreturn]] void ThrowBroken(std::int32_t number, const std::string& description);

    std::shared_ptr<OfficeEnvironment> environment;
    OfficeLimits limits;
    std::shared_ptr<OfficeProcess> process;
    std::unique_ptr<CallRunner> runner = std::make_unique<CallRunner>();
    Reference<css::frame::XDesktop2> desktop;
    std::map<DocumentId, Reference<css::lang::XComponent>> documents;
    DocumentId nextDocument = 1;
    std::atomic<bool> broken{false};
    std::size_t served = 0;
};

void OfficeSession::Impl::ThrowBroken(std::int32_t number, const std::string& description) {
    broken = true;
    process->Kill();
    throw AutomationError(number, description);
}

void OfficeSession::Impl::Call(std::function<void()> body, std::chrono::milliseconds limit,
                               const std::function<AutomationError(const std::string&)>& refused) {
    if (broken || process->ExitCode()) {
        ThrowBroken(platform::kErrServerDied, "The LibreOffice process of this server has ended.");
    }
    CallFailure failure;
    try {
        if (!runner->Run(std::move(body), limit, [office = process] { office->Kill(); })) {
            ThrowBroken(platform::kErrCallTimedOut, "LibreOffice did not answer within " +
                                                        Seconds(limit) +
                                                        "; its process was stopped.");
        }
        return;
    } catch (const AutomationError&) {
        throw;
    } catch (...) {
        failure = ClassifyCallFailure(std::current_exception());
    }
    if (process->ExitCode()) {
        ThrowBroken(platform::kErrServerDied,
                    "The LibreOffice process of this server ended during the call.");
    }
    if (failure.officeGone) {
        ThrowBroken(
            platform::kErrServerDied,
            "The LibreOffice process of this server stopped answering: " + failure.reason + ".");
    }
    throw refused(failure.reason);
}

void OfficeSession::Impl::StartProcess() {
    struct Outcome {
        Reference<css::frame::XDesktop2> desktop;
        std::string failure;
    };
    const auto outcome = std::make_shared<Outcome>();
    process->Start();
    const bool finished = runner->Run(
        [outcome, office = process, runtime = environment,
         resolveUrl = ToOUString("uno:pipe,name=" + process->PipeName() +
                                 ";urp;StarOffice.ComponentContext")] {
            try {
                const auto resolver =
                    css::bridge::UnoUrlResolver::create(runtime->UnoRuntime().context);
                bool restarted = false;
                Reference<css::uno::XInterface> remote;
                while (!remote.is()) {
                    if (const auto code = office->ExitCode()) {
                        if (*code == kOfficeRestartRequested && !restarted) {
                            restarted = true;
                            office->Start();
                            continue;
                        }
                        outcome->failure = "LibreOffice ended while starting (exit code " +
                                           std::to_string(*code) + ")";
                        return;
                    }
                    try {
                        remote = resolver->resolve(resolveUrl);
                    } catch (const css::connection::NoConnectException&) {
                        std::this_thread::sleep_for(kConnectRetry);
                    }
                }
                Reference<css::uno::XComponentContext> remoteContext(remote,
                                                                     css::uno::UNO_QUERY_THROW);
                outcome->desktop = css::frame::Desktop::create(remoteContext);
            } catch (const css::uno::Exception& error) {
                outcome->failure = "LibreOffice cannot be reached (" + ToUtf8(error.Message) + ")";
            }
        },
        limits.startup, [office = process] { office->Kill(); });
    std::string failure =
        finished ? outcome->failure : "LibreOffice did not start within " + Seconds(limits.startup);
    if (!failure.empty()) {
        broken = true;
        process->Kill();
        throw AutomationError(platform::kErrCannotCreateObject,
                              "ActiveX component can't create object: " + failure + ".");
    }
    desktop = outcome->desktop;
}

void OfficeSession::Impl::Start() {
    try {
        StartProcess();
    } catch (const AutomationError&) {
        if (!process->ProfileFromCache()) {
            throw;
        }
        environment->Profiles().Forget();
        process = std::make_shared<OfficeProcess>(environment->Launcher(),
                                                  environment->NewProcessFolder(), nullptr);
        runner = std::make_unique<CallRunner>();  // the old one may still wait on a dead call
        broken = false;
        StartProcess();
    }
    if (!process->ProfileFromCache()) {
        environment->Profiles().Keep(process->Profile());
    }
}

OfficeSession::OfficeSession(std::shared_ptr<OfficeEnvironment> environment, OfficeLimits limits)
    : impl_(std::make_unique<Impl>(std::move(environment), limits)) {
    impl_->Start();
}

OfficeSession::~OfficeSession() = default;

OfficeSession::DocumentId OfficeSession::Open(const std::filesystem::path& source) {
    CheckReadable(source);
    struct Outcome {
        Reference<css::lang::XComponent> document;
        std::string refusal;
    };
    const auto outcome = std::make_shared<Outcome>();
    impl_->Call(
        [outcome, desktop = impl_->desktop, url = ToOUString(FileUrl(source))] {
            rtl::Reference<AbortingInteractionHandler> handler(new AbortingInteractionHandler());
            const std::array settings{
                Property("Hidden", css::uno::Any(true)), Property("ReadOnly", css::uno::Any(true)),
                Property("MacroExecutionMode",
                         css::uno::Any(css::document::MacroExecMode::NEVER_EXECUTE)),
                Property("UpdateDocMode", css::uno::Any(css::document::UpdateDocMode::NO_UPDATE)),
                Property("InteractionHandler",
                         css::uno::Any(Reference<css::task::XInteractionHandler>(handler.get())))};
            const auto properties = AsSequence(settings);
            Reference<css::lang::XComponent> document;
            try {
                document = desktop->loadComponentFromURL(url, "_blank", 0, properties);
            } catch (const css::lang::IllegalArgumentException&) {
                outcome->refusal = "the file is not a workbook LibreOffice can read.";
                return;
            } catch (const css::io::IOException& error) {
                outcome->refusal = "the file cannot be read" + InParentheses(error.Message) + ".";
                return;
            }
            if (!document.is()) {
                outcome->refusal = handler->PasswordRequested()
                                       ? "the file is protected by a password."
                                       : "the file is not an Excel workbook, or it is damaged.";
                return;
            }
            const std::string filter = FilterOf(document);
            if (!IsExcelImportFilter(filter) || !IsSpreadsheet(document)) {
                CloseDocument(document);
                outcome->refusal = "the file is not an Excel workbook, or it is damaged.";
                return;
            }
            outcome->document = document;
        },
        impl_->limits.call,
        [&](const std::string& reason) {
            return OpenRefused(source, "LibreOffice could not load it (" + reason + ").");
        });
    if (!outcome->refusal.empty()) {
        throw OpenRefused(source, outcome->refusal);
    }
    const DocumentId id = impl_->nextDocument++;
    impl_->documents.emplace(id, outcome->document);
    return id;
}

void OfficeSession::Store(DocumentId document, std::string_view filter,
                          const std::filesystem::path& output,
                          const std::filesystem::path& target) {
    const auto found = impl_->documents.find(document);
    if (found == impl_->documents.end()) {
        throw AutomationError(
            platform::kErrApplicationDefined,
            "Tabrook cannot save '" + target.string() + "': the workbook is no longer open.");
    }
    impl_->Call(
        [component = found->second, filterName = ToOUString(filter),
         url = ToOUString(FileUrl(output))] {
            Reference<css::frame::XStorable> storable(component, css::uno::UNO_QUERY_THROW);
            const std::array settings{Property("FilterName", css::uno::Any(filterName)),
                                      Property("Overwrite", css::uno::Any(true))};
            storable->storeToURL(url, AsSequence(settings));
        },
        impl_->limits.call,
        [&](const std::string& reason) {
            return AutomationError(platform::kErrApplicationDefined,
                                   "Tabrook cannot save '" + target.string() +
                                       "': LibreOffice could not write the workbook (" + reason +
                                       ").");
        });
}

void OfficeSession::Close(DocumentId document) {
    const auto found = impl_->documents.find(document);
    if (found == impl_->documents.end()) {
        return;
    }
    const Reference<css::lang::XComponent> component = found->second;
    impl_->documents.erase(found);
    impl_->Call([component] { CloseDocument(component); }, impl_->limits.call,
                [](const std::string& reason) {
                    return AutomationError(
                        platform::kErrApplicationDefined,
                        "LibreOffice could not close the workbook (" + reason + ").");
                });
}

bool OfficeSession::MakeClean() {
    if (!Usable()) {
        return false;
    }
    const auto clean = std::make_shared<bool>(false);
    try {
        while (!impl_->documents.empty()) {
            Close(impl_->documents.begin()->first);
        }
        impl_->Call(
            [clean, desktop = impl_->desktop] {
                const auto components = desktop->getComponents();
                *clean = !components.is() || !components->createEnumeration()->hasMoreElements();
            },
            impl_->limits.call,
            [](const std::string& reason) {
                return AutomationError(platform::kErrApplicationDefined, reason);
            });
    } catch (const AutomationError&) {
        return false;
    }
    return *clean && Usable();
}

std::size_t OfficeSession::CountServed() {
    return ++impl_->served;
}

bool OfficeSession::Usable() {
    return !impl_->broken && !impl_->process->ExitCode();
}

pid_t OfficeSession::ProcessId() const {
    return impl_->process->Pid();
}

std::filesystem::path OfficeSession::OutputFolder() const {
    return impl_->process->OutputFolder();
}

}  // namespace tabrook::calcserver::office
