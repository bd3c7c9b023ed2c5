#include "com_test_server/dispatch_object.h"

#include <cwctype>

#include "platform/windows_text.h"

namespace tabrook::testserver {
namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<unsigned char>(a[i])) !=
            std::towlower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string KindText(WORD flags) {
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        return "put";
    }
    if ((flags & DISPATCH_METHOD) != 0) {
        return "call";
    }
    return "get";
}

}  // namespace

const VARIANT* CallArguments::At(DISPID position) const {
    if (const auto found = named.find(position); found != named.end()) {
        return found->second;
    }
    return position >= 0 && static_cast<std::size_t>(position) < positional.size()
               ? positional[static_cast<std::size_t>(position)]
               : nullptr;
}

std::string Narrow(const VARIANT& value) {
    if (value.vt != VT_BSTR || value.bstrVal == nullptr) {
        return {};
    }
    return platform::FromWide(std::wstring_view(value.bstrVal, ::SysStringLen(value.bstrVal)));
}

std::string Describe(const VARIANT& value) {
    switch (value.vt) {
        case VT_BSTR:
            return "\"" + Narrow(value) + "\"";
        case VT_I4:
            return std::to_string(value.lVal);
        case VT_BOOL:
            return value.boolVal != VARIANT_FALSE ? "True" : "False";
        default:
            return "<vt " + std::to_string(value.vt) + ">";
    }
}

DispatchObject::DispatchObject(ServerProcess& process, std::string typeName)
    : process_(process), typeName_(std::move(typeName)) {
    process_.ObjectMade();
}

DispatchObject::~DispatchObject() {
    process_.Log("release " + typeName_);
    process_.ObjectGone();
}

HRESULT DispatchObject::QueryInterface(REFIID interfaceId, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(interfaceId, IID_IUnknown) || IsEqualIID(interfaceId, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DispatchObject::AddRef() {
    return ++references_;
}

ULONG DispatchObject::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    std::string logged = "names " + typeName_ + ":";
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        logged += " " + platform::FromWide(names[i]);
    }
    process_.Log(logged);
    const std::string memberName = count > 0 ? platform::FromWide(names[0]) : std::string();
    const Member* member = Find(memberName);
    const Fault* fault = member != nullptr ? process_.FaultFor(member->name) : nullptr;
    if (member == nullptr || (fault != nullptr && fault->kind == "missing")) {
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = member->id;
    HRESULT status = S_OK;
    for (UINT i = 1; i < count; ++i) {
        const std::string name = platform::FromWide(names[i]);
        for (std::size_t position = 0; position < member->parameters.size(); ++position) {
            if (SameName(member->parameters[position], name)) {
                ids[i] = static_cast<DISPID>(position);
            }
        }
        if (ids[i] == DISPID_UNKNOWN) {
            status = DISP_E_UNKNOWNNAME;
        }
    }
    return status;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                               VARIANT* result, EXCEPINFO* exception, UINT*) {
    const Member* member = Find(id);
    if (member == nullptr) {
        return DISP_E_MEMBERNOTFOUND;
    }
    // rgvarg holds the named arguments first, then the positional ones from last to first.
    CallArguments arguments;
    const UINT named = parameters->cNamedArgs;
    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    for (UINT i = 0; i < named; ++i) {
        if (!(isPut && parameters->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT)) {
            arguments.named[parameters->rgdispidNamedArgs[i]] = &parameters->rgvarg[i];
        }
    }
    for (UINT i = parameters->cArgs; i > named; --i) {
        arguments.positional.push_back(&parameters->rgvarg[i - 1]);
    }

    std::string logged = KindText(flags) + " " + typeName_ + "." + member->name;
    if (isPut) {
        logged += " = " + (named == 1 ? Describe(parameters->rgvarg[0]) : "<no value>");
    } else {
        std::string list;
        for (const VARIANT* value : arguments.positional) {
            list += (list.empty() ? "" : ", ") + Describe(*value);
        }
        // Named arguments in the order the caller gave them.
        for (UINT i = 0; i < named; ++i) {
            const DISPID position = parameters->rgdispidNamedArgs[i];
            const std::string name =
                position >= 0 && static_cast<std::size_t>(position) < member->parameters.size()
                    ? member->parameters[static_cast<std::size_t>(position)]
                    : "?";
            list += (list.empty() ? "" : ", ") + name + ":=" + Describe(parameters->rgvarg[i]);
        }
        if (!list.empty() || (flags & DISPATCH_METHOD) != 0) {
            logged += "(" + list + ")";
        }
    }
    process_.Log(logged);

    if (result != nullptr) {
        ::VariantInit(result);
    }
    if (isPut && named != 1) {
        return DISP_E_PARAMNOTOPTIONAL;
    }
    try {
        process_.ActOnFault(member->name);
        Run(*member, flags, arguments, isPut ? &parameters->rgvarg[0] : result);
    } catch (const CallFailure& failure) {
        if (exception != nullptr) {
            *exception = EXCEPINFO{};
            exception->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, failure.number);
            exception->bstrSource = ::SysAllocString(L"Tabrook test server");
            const std::wstring text = platform::ToWide(failure.text);
            exception->bstrDescription =
                ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
        process_.Log("raise " + std::to_string(failure.number) + " " + failure.text);
        return DISP_E_EXCEPTION;
    }
    return S_OK;
}

const DispatchObject::Member* DispatchObject::Find(DISPID id) const {
    for (const Member& member : Members()) {
        if (member.id == id) {
            return &member;
        }
    }
    return nullptr;
}

const DispatchObject::Member* DispatchObject::Find(const std::string& name) const {
    for (const Member& member : Members()) {
        if (SameName(member.name, name)) {
            return &member;
        }
    }
    return nullptr;
}

}  // namespace tabrook::testserver
