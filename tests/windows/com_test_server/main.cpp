// A stand-in for the spreadsheet application, for tests under Wine only (never shipped):
// a local COM server registered as "Excel.Application" that answers the calls of a
// conversion, logs them (TABROOK_TEST_SERVER_LOG) and fails when a workbook asks it to.
//   com_test_server /regserver     registers it
//   com_test_server /unregserver   removes the registration
//   com_test_server -Embedding     how COM starts it
#include <ole2.h>
#include <windows.h>

#include <string>

#include "com_test_server/server_process.h"
#include "com_test_server/test_objects.h"

namespace tabrook::testserver {
namespace {

constexpr wchar_t kProgId[] = L"Excel.Application";
constexpr UINT kRevokeMessage = WM_APP + 1;
// The machine's classes: Wine's class lookup does not read the user's own (HKCU) classes,
// and the prefix a test makes is the test's alone.
const HKEY kRegistrationRoot = HKEY_LOCAL_MACHINE;

std::wstring ClassIdText() {
    wchar_t text[64] = {};
    ::StringFromGUID2(kTestServerClassId, text, 64);
    return text;
}

bool SetDefault(HKEY root, const std::wstring& key, const std::wstring& value) {
    return ::RegSetKeyValueW(root, key.c_str(), nullptr, REG_SZ, value.c_str(),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

int Register() {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) {
        return 1;
    }
    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring classKey = classes + L"CLSID\\" + ClassIdText();
    const bool done =
        SetDefault(kRegistrationRoot, classes + kProgId, L"Tabrook test automation server") &&
        SetDefault(kRegistrationRoot, classes + kProgId + L"\\CLSID", ClassIdText()) &&
        SetDefault(kRegistrationRoot, classKey, L"Tabrook test automation server") &&
        SetDefault(kRegistrationRoot, classKey + L"\\ProgID", kProgId) &&
        SetDefault(kRegistrationRoot, classKey + L"\\LocalServer32",
                   L"\"" + std::wstring(path, length) + L"\"");
    return done ? 0 : 1;
}

int Unregister() {
    const std::wstring classes = L"Software\\Classes\\";
    ::RegDeleteTreeW(kRegistrationRoot, (classes + kProgId).c_str());
    ::RegDeleteTreeW(kRegistrationRoot, (classes + L"CLSID\\" + ClassIdText()).c_str());
    return 0;
}

// Hands out one application per process, as a fresh instance of the real one is. It lives
// on main's stack, so no interface pointer ever deletes it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ApplicationFactory final : public IClassFactory {
  public:
    ApplicationFactory(ServerProcess& process, DWORD mainThread)
        : process_(process), mainThread_(mainThread) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
        if (IsEqualIID(interfaceId, IID_IUnknown) || IsEqualIID(interfaceId, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the process; COM's references do not own it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID interfaceId,
                                             void** object) override {
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        process_.Log("create");
        wchar_t fault[32] = {};
        if (::GetEnvironmentVariableW(L"TABROOK_TEST_SERVER_FAULT", fault, 32) > 0 &&
            std::wstring(fault) == L"crash-on-create") {
            process_.Crash();
        }
        auto* application = new ApplicationObject(process_);
        const HRESULT status = application->QueryInterface(interfaceId, object);
        application->Release();
        ::PostThreadMessageW(mainThread_, kRevokeMessage, 0, 0);
        return status;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    ServerProcess& process_;
    DWORD mainThread_;
};
#pragma GCC diagnostic pop

int Serve() {
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    const DWORD mainThread = ::GetCurrentThreadId();
    ServerProcess process(mainThread);
    ApplicationFactory factory(process, mainThread);
    DWORD cookie = 0;
    process.Log("start");
    if (FAILED(::CoRegisterClassObject(kTestServerClassId, &factory, CLSCTX_LOCAL_SERVER,
                                       REGCLS_SINGLEUSE, &cookie))) {
        ::CoUninitialize();
        return 1;
    }
    // A process that COM started but no client ever reached does not linger.
    constexpr UINT kUnclaimedMilliseconds = 60'000;
    ::SetTimer(nullptr, 0, kUnclaimedMilliseconds, nullptr);
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == kRevokeMessage && cookie != 0) {
            // The next CreateObject starts a process of its own.
            ::CoRevokeClassObject(cookie);
            cookie = 0;
        } else if (message.message == WM_TIMER && !process.AnyObjectMade()) {
            break;
        }
        ::DispatchMessageW(&message);
    }
    if (cookie != 0) {
        ::CoRevokeClassObject(cookie);
    }
    process.Log("exit");
    ::CoUninitialize();
    return 0;
}

}  // namespace
}  // namespace tabrook::testserver

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "/regserver" || mode == "-regserver") {
        return tabrook::testserver::Register();
    }
    if (mode == "/unregserver" || mode == "-unregserver") {
        return tabrook::testserver::Unregister();
    }
    return tabrook::testserver::Serve();
}
