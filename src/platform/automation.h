#pragma once
// Late-bound automation: objects whose members are reached by name at call time, with
// variant values, positional and named arguments, and one error type carrying a signed
// 32-bit number and a description.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tabrook::platform {

class AutomationObject;
using ObjectRef = std::shared_ptr<AutomationObject>;

// Empty, boolean, 32-bit integer, double, text, or an object reference.
using Variant = std::variant<std::monostate, bool, std::int32_t, double, std::string, ObjectRef>;

struct NamedArgument {
    std::string name;
    Variant value;
};

struct Arguments {
    std::vector<Variant> positional;
    std::vector<NamedArgument> named;
};

// Positive numbers are application errors (429, 438, 1004, ...); negative numbers are
// transport failures read as signed HRESULTs (the server died, hung or broke the link).
class AutomationError : public std::runtime_error {
  public:
    AutomationError(std::int32_t number, std::string description);
    std::int32_t Number() const { return number_; }
    const std::string& Description() const { return description_; }

  private:
    std::int32_t number_;
    std::string description_;
};

// Well-known error numbers.
inline constexpr std::int32_t kErrCannotCreateObject = 429;
inline constexpr std::int32_t kErrMemberNotSupported = 438;
inline constexpr std::int32_t kErrNamedArgumentNotFound = 448;
inline constexpr std::int32_t kErrApplicationDefined = 1004;
inline constexpr std::int32_t kErrServerDied =
    static_cast<std::int32_t>(0x800706BEu);  // RPC_S_CALL_FAILED
inline constexpr std::int32_t kErrServerUnavailable =
    static_cast<std::int32_t>(0x800706BAu);  // RPC_S_SERVER_UNAVAILABLE
inline constexpr std::int32_t kErrCallTimedOut =
    static_cast<std::int32_t>(0x80010001u);  // RPC_E_CALL_REJECTED

// What these errors say when the server gives no text of its own.
inline constexpr std::string_view kCannotCreateObjectText = "ActiveX component can't create object";
inline constexpr std::string_view kMemberNotSupportedText =
    "Object doesn't support this property or method";
inline constexpr std::string_view kNamedArgumentNotFoundText = "Named argument not found";

class AutomationObject {
  public:
    virtual ~AutomationObject() = default;
    virtual Variant Get(std::string_view member) = 0;
    virtual void Put(std::string_view member, const Variant& value) = 0;
    virtual Variant Call(std::string_view member, const Arguments& arguments) = 0;
};

// Reads an object out of a variant, or throws 438-style when the value holds none.
ObjectRef AsObject(const Variant& value);

// A new instance of the platform's own server for `progId`: on Windows the application
// registered for it with COM; where the platform has no such servers, error 429.
ObjectRef CreateSystemObject(std::string_view progId);

// Maps programmatic identifiers to factories; every CreateObject gives a new instance.
class AutomationRegistry {
  public:
    using Factory = std::function<ObjectRef()>;

    void Register(std::string progId, Factory factory);
    // A server registered here wins; otherwise the platform's own (CreateSystemObject).
    ObjectRef CreateObject(std::string_view progId) const;

  private:
    std::map<std::string, Factory, std::less<>> factories_;
};

}  // namespace tabrook::platform
