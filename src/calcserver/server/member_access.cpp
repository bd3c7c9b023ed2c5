#include "calcserver/server/member_access.h"

#include <cmath>
#include <exception>

namespace tabrook::calcserver::server {

using platform::AutomationError;
using platform::Variant;

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

[[noreturn]] void ThrowTypeMismatch() {
    throw AutomationError(kErrTypeMismatch, "Type mismatch");
}

const Variant& Present(const Variant* value) {
    if (value == nullptr || std::holds_alternative<std::monostate>(*value)) {
        throw AutomationError(kErrArgumentNotOptional, "Argument not optional");
    }
    return *value;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

void ThrowMemberNotSupported() {
    throw AutomationError(platform::kErrMemberNotSupported,
                          std::string(platform::kMemberNotSupportedText));
}

const Variant* FindArgument(const platform::Arguments& arguments, std::size_t position,
                            std::string_view name, std::initializer_list<std::string_view> known) {
    const Variant* found = nullptr;
    for (const platform::NamedArgument& named : arguments.named) {
        bool isKnown = false;
        for (std::string_view candidate : known) {
            isKnown = isKnown || SameName(named.name, candidate);
        }
        if (!isKnown) {
            throw AutomationError(platform::kErrNamedArgumentNotFound,
                                  std::string(platform::kNamedArgumentNotFoundText));
        }
        if (SameName(named.name, name)) {
            found = &named.value;
        }
    }
    if (found == nullptr && position < arguments.positional.size()) {
        found = &arguments.positional[position];
    }
    return found;
}

std::string RequireText(const Variant* value) {
    if (const auto* text = std::get_if<std::string>(&Present(value))) {
        return *text;
    }
    ThrowTypeMismatch();
}

std::int32_t RequireInteger(const Variant* value) {
    const Variant& present = Present(value);
    if (const auto* integer = std::get_if<std::int32_t>(&present)) {
        return *integer;
    }
    if (const auto* real = std::get_if<double>(&present)) {
        if (std::nearbyint(*real) == *real && std::abs(*real) < 2147483648.0) {
            return static_cast<std::int32_t>(*real);
        }
    }
    ThrowTypeMismatch();
}

bool RequireBoolean(const Variant* value) {
    const Variant& present = Present(value);
    if (const auto* flag = std::get_if<bool>(&present)) {
        return *flag;
    }
    if (const auto* integer = std::get_if<std::int32_t>(&present)) {
        return *integer != 0;
    }
    ThrowTypeMismatch();
}

Variant Guarded(const std::function<Variant()>& member) {
    try {
        return member();
    } catch (const AutomationError&) {
        throw;
    } catch (const std::exception& error) {
        throw AutomationError(platform::kErrApplicationDefined, error.what());
    }
}

}  // namespace tabrook::calcserver::server
