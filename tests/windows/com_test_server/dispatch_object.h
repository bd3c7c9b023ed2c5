#pragma once
// An IDispatch without a type library: members by name and id, arguments by position or by
// parameter name, and every call written to the process's log before it runs.

#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "com_test_server/server_process.h"

namespace tabrook::testserver {

struct CallArguments {
    std::vector<const VARIANT*> positional;  // in call order
    std::map<DISPID, const VARIANT*> named;  // by parameter position
    // The argument at `position`, given by position or by name; nullptr when absent.
    const VARIANT* At(DISPID position) const;
};

// COM objects delete themselves in their last Release, never through an interface pointer,
// so the interfaces' lack of a virtual destructor is no fault here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class DispatchObject : public IDispatch {
  public:
    struct Member {
        std::string name;
        DISPID id;
        std::vector<std::string> parameters;  // a named argument's id is its position here
    };

    DispatchObject(ServerProcess& process, std::string typeName);
    virtual ~DispatchObject();
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

  protected:
    virtual const std::vector<Member>& Members() const = 0;
    // Runs one member; throws CallFailure for an application error.
    virtual void Run(const Member& member, WORD flags, const CallArguments& arguments,
                     VARIANT* result) = 0;

    ServerProcess& process_;

  private:
    const Member* Find(DISPID id) const;
    const Member* Find(const std::string& name) const;

    std::string typeName_;
    ULONG references_ = 1;
};
#pragma GCC diagnostic pop

// How the log spells a value: "text", 51, True, or <vt N> for anything else.
std::string Describe(const VARIANT& value);
std::string Narrow(const VARIANT& value);

}  // namespace tabrook::testserver
