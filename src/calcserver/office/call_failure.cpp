#include "calcserver/office/call_failure.h"

#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/Exception.hpp>

#include "calcserver/office/uno_runtime.h"

namespace tabrook::calcserver::office {

namespace css = com::sun::star;

CallFailure ClassifyCallFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const css::lang::DisposedException& error) {
        return {true, "the connection was lost (" + ToUtf8(error.Message) + ")"};
    } catch (const css::uno::Exception& error) {
        return {false,
                error.Message.isEmpty() ? std::string("no reason given") : ToUtf8(error.Message)};
    }
}

}  // namespace tabrook::calcserver::office
