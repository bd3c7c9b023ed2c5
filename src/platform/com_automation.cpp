// "Excel.Application" and any other programmatic identifier through COM, late-bound as
// CreateObject does: IDispatch, members and named arguments looked up by name at call time.
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/automation.h"
#include "platform/windows_text.h"

namespace tabrook::platform {
namespace {

// COM stays initialised on the thread while any object made through it lives. Objects are
// used on the thread that made them, as an apartment-threaded client must.
class ComApartment {
  public:
    static std::shared_ptr<ComApartment> Enter();
    ~ComApartment() {
        if (owned_) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    explicit ComApartment(bool owned) : owned_(owned) {}
    bool owned_;
};

std::string SystemMessage(HRESULT status) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return message.empty() ? std::string() : FromWide(message);
}

// A failure of the transport or of COM itself: the status, read as a signed number.
AutomationError StatusError(HRESULT status) {
    const std::string reason = SystemMessage(status);
    return AutomationError(static_cast<std::int32_t>(status),
                           reason.empty() ? "Automation error" : "Automation error: " + reason);
}

std::shared_ptr<ComApartment> ComApartment::Enter() {
    const HRESULT status = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (status == RPC_E_CHANGED_MODE) {
        // The thread already lives in the multithreaded apartment; calls work there too.
        return std::shared_ptr<ComApartment>(new ComApartment(false));
    }
    if (FAILED(status)) {
        throw StatusError(status);
    }
    return std::shared_ptr<ComApartment>(new ComApartment(true));
}

std::string TakeBstr(BSTR& text) {
    std::string narrow =
        text != nullptr ? FromWide(std::wstring_view(text, ::SysStringLen(text))) : std::string();
    ::SysFreeString(text);
    text = nullptr;
    return narrow;
}

// The application's own error: Excel reports 1004 as FACILITY_CONTROL with code 1004 in
// scode, older servers in wCode. A negative scode outside that facility stays negative.
AutomationError ExceptionError(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn != nullptr) {
        info.pfnDeferredFillIn(&info);
    }
    const std::string description = TakeBstr(info.bstrDescription);
    TakeBstr(info.bstrSource);
    TakeBstr(info.bstrHelpFile);
    std::int32_t number = static_cast<std::int32_t>(DISP_E_EXCEPTION);
    if (info.wCode != 0) {
        number = info.wCode;
    } else if (HRESULT_FACILITY(info.scode) == FACILITY_CONTROL) {
        number = HRESULT_CODE(info.scode);
    } else if (FAILED(info.scode)) {
        number = static_cast<std::int32_t>(info.scode);
    }
    if (!description.empty()) {
        return AutomationError(number, description);
    }
    return number > 0 ? AutomationError(number, "Application-defined or object-defined error")
                      : StatusError(static_cast<HRESULT>(number));
}

// Arguments handed to Invoke, each cleared however the call ends.
class VariantArray {
  public:
    explicit VariantArray(std::size_t count) : items_(count) {
        for (VARIANT& item : items_) {
            ::VariantInit(&item);
        }
    }
    ~VariantArray() {
        for (VARIANT& item : items_) {
            ::VariantClear(&item);
        }
    }
    VariantArray(const VariantArray&) = delete;
    VariantArray& operator=(const VariantArray&) = delete;
    VARIANT* Data() { return items_.data(); }
    VARIANT& operator[](std::size_t index) { return items_[index]; }

  private:
    std::vector<VARIANT> items_;
};

class ComObject final : public AutomationObject {
  public:
    // Takes over one reference to `dispatch`.
    ComObject(IDispatch* dispatch, std::shared_ptr<ComApartment> apartment)
        : apartment_(std::move(apartment)), dispatch_(dispatch) {}
    ~ComObject() override { dispatch_->Release(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    Variant Get(std::string_view member) override {
        return Invoke(member, DISPATCH_PROPERTYGET, {});
    }
    void Put(std::string_view member, const Variant& value) override {
        Invoke(member, DISPATCH_PROPERTYPUT, Arguments{{value}, {}});
    }
    Variant Call(std::string_view member, const Arguments& arguments) override {
        return Invoke(member, DISPATCH_METHOD, arguments);
    }

    IDispatch* Dispatch() const { return dispatch_; }

  private:
    std::vector<DISPID> Lookup(std::string_view member, const Arguments& arguments) const;
    Variant Invoke(std::string_view member, WORD kind, const Arguments& arguments);
    void ToVariant(const Variant& value, VARIANT& out) const;
    Variant FromVariant(VARIANT& value) const;

    // Declared first, so the apartment ends after the reference is released.
    std::shared_ptr<ComApartment> apartment_;
    IDispatch* dispatch_;
};

std::vector<DISPID> ComObject::Lookup(std::string_view member, const Arguments& arguments) const {
    std::vector<std::wstring> names;
    names.push_back(ToWide(member));
    for (const NamedArgument& named : arguments.named) {
        names.push_back(ToWide(named.name));
    }
    std::vector<LPOLESTR> pointers;
    for (std::wstring& name : names) {
        pointers.push_back(name.data());
    }
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    const auto lookUp = [&](UINT count) {
        return dispatch_->GetIDsOfNames(IID_NULL, pointers.data(), count, LOCALE_USER_DEFAULT,
                                        ids.data());
    };
    const HRESULT status = lookUp(static_cast<UINT>(names.size()));
    if (SUCCEEDED(status)) {
        return ids;
    }
    if (status != DISP_E_UNKNOWNNAME) {
        throw StatusError(status);
    }
    // Which name was unknown: the member's, or only an argument's.
    if (names.size() > 1 && SUCCEEDED(lookUp(1))) {
        throw AutomationError(kErrNamedArgumentNotFound, std::string(kNamedArgumentNotFoundText));
    }
    throw AutomationError(kErrMemberNotSupported, std::string(kMemberNotSupportedText));
}

Variant ComObject::Invoke(std::string_view member, WORD kind, const Arguments& arguments) {
    const std::vector<DISPID> ids = Lookup(member, arguments);
    const std::size_t namedCount = arguments.named.size();
    const std::size_t count = namedCount + arguments.positional.size();

    // Named arguments first, in the order of their ids; then the positional ones, last first.
    VariantArray values(count);
    std::vector<DISPID> namedIds(ids.begin() + 1, ids.end());
    for (std::size_t i = 0; i < namedCount; ++i) {
        ToVariant(arguments.named[i].value, values[i]);
    }
    for (std::size_t i = 0; i < arguments.positional.size(); ++i) {
        ToVariant(arguments.positional[i], values[count - 1 - i]);
    }
    DISPID propertyPut = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    parameters.rgvarg = count == 0 ? nullptr : values.Data();
    parameters.cArgs = static_cast<UINT>(count);
    if (kind == DISPATCH_PROPERTYPUT) {
        parameters.rgdispidNamedArgs = &propertyPut;
        parameters.cNamedArgs = 1;
    } else {
        parameters.rgdispidNamedArgs = namedIds.empty() ? nullptr : namedIds.data();
        parameters.cNamedArgs = static_cast<UINT>(namedIds.size());
    }

    VariantArray result(1);
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT status = dispatch_->Invoke(
        ids[0], IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
        kind == DISPATCH_PROPERTYPUT ? nullptr : &result[0], &exception, &argumentError);
    if (status == DISP_E_EXCEPTION) {
        throw ExceptionError(exception);
    }
    if (status == DISP_E_MEMBERNOTFOUND) {
        throw AutomationError(kErrMemberNotSupported, std::string(kMemberNotSupportedText));
    }
    if (FAILED(status)) {
        throw StatusError(status);
    }
    return FromVariant(result[0]);
}

void ComObject::ToVariant(const Variant& value, VARIANT& out) const {
    if (const auto* flag = std::get_if<bool>(&value)) {
        out.vt = VT_BOOL;
        out.boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
        out.vt = VT_I4;
        out.lVal = *number;
    } else if (const auto* real = std::get_if<double>(&value)) {
        out.vt = VT_R8;
        out.dblVal = *real;
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        const std::wstring wide = ToWide(*text);
        out.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (out.bstrVal == nullptr) {
            throw StatusError(E_OUTOFMEMORY);
        }
        out.vt = VT_BSTR;
    } else if (const auto* object = std::get_if<ObjectRef>(&value)) {
        const auto* com = dynamic_cast<const ComObject*>(object->get());
        if (*object && com == nullptr) {
            throw StatusError(DISP_E_TYPEMISMATCH);  // an object of ours has no COM identity
        }
        out.vt = VT_DISPATCH;
        out.pdispVal = com != nullptr ? com->Dispatch() : nullptr;
        if (out.pdispVal != nullptr) {
            out.pdispVal->AddRef();
        }
    }
}

Variant ComObject::FromVariant(VARIANT& value) const {
    switch (value.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return std::monostate{};
        case VT_BOOL:
            return value.boolVal != VARIANT_FALSE;
        case VT_BSTR:
            return value.bstrVal != nullptr
                       ? FromWide(std::wstring_view(value.bstrVal, ::SysStringLen(value.bstrVal)))
                       : std::string();
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IDispatch* dispatch = nullptr;
            if (value.punkVal == nullptr ||
                FAILED(value.punkVal->QueryInterface(IID_IDispatch,
                                                     reinterpret_cast<void**>(&dispatch)))) {
                return std::monostate{};
            }
            return ObjectRef(std::make_shared<ComObject>(dispatch, apartment_));
        }
        default:
            break;
    }
    // Numbers of every width: as a 32-bit integer where one holds them, else as a double.
    VariantArray converted(1);
    if (SUCCEEDED(::VariantChangeType(&converted[0], &value, 0, VT_I4))) {
        return static_cast<std::int32_t>(converted[0].lVal);
    }
    if (SUCCEEDED(::VariantChangeType(&converted[0], &value, 0, VT_R8))) {
        return converted[0].dblVal;
    }
    if (SUCCEEDED(::VariantChangeType(&converted[0], &value, 0, VT_BSTR))) {
        return FromVariant(converted[0]);
    }
    return std::monostate{};
}

}  // namespace

// No machine name, so in-process or local servers only; every call a new instance.
ObjectRef CreateSystemObject(std::string_view progId) {
    std::shared_ptr<ComApartment> apartment = ComApartment::Enter();
    CLSID classId{};
    if (FAILED(::CLSIDFromProgID(ToWide(progId).c_str(), &classId))) {
        throw AutomationError(kErrCannotCreateObject, std::string(kCannotCreateObjectText));
    }
    IDispatch* dispatch = nullptr;
    const HRESULT status =
        ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                           IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    if (FAILED(status) || dispatch == nullptr) {
        // Not registered, could not be started, or died while starting.
        const std::string reason = SystemMessage(status);
        throw AutomationError(kErrCannotCreateObject,
                              reason.empty()
                                  ? std::string(kCannotCreateObjectText)
                                  : std::string(kCannotCreateObjectText) + ": " + reason + ".");
    }
    return std::make_shared<ComObject>(dispatch, std::move(apartment));
}

}  // namespace tabrook::platform
