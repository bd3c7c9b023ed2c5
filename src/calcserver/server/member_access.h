#pragma once
// Reading members and arguments the way late-bound callers expect: names in any letter
// case, arguments by position or by name, and the usual error numbers when they are wrong.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/automation.h"

namespace tabrook::calcserver::server {

inline constexpr std::int32_t kErrTypeMismatch = 13;
inline constexpr std::int32_t kErrArgumentNotOptional = 449;

bool SameName(std::string_view a, std::string_view b);

[[noreturn]] void ThrowMemberNotSupported();

// The argument at `position` or named `name`, or nullptr when the caller gave neither.
// Throws 448 for a named argument outside `known`.
const platform::Variant* FindArgument(const platform::Arguments& arguments, std::size_t position,
                                      std::string_view name,
                                      std::initializer_list<std::string_view> known);

// Throw 449 when `value` is missing and 13 when it has the wrong type.
std::string RequireText(const platform::Variant* value);
std::int32_t RequireInteger(const platform::Variant* value);
bool RequireBoolean(const platform::Variant* value);

// Runs a member; failures that are not automation errors become 1004 with their text.
platform::Variant Guarded(const std::function<platform::Variant()>& member);

}  // namespace tabrook::calcserver::server
