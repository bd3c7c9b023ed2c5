#include "calcserver/office/interaction_handler.h"

#include <com/sun/star/task/PasswordRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>

namespace tabrook::calcserver::office {

namespace css = com::sun::star;

void AbortingInteractionHandler::handle(
    const css::uno::Reference<css::task::XInteractionRequest>& request) {
    if (!request.is()) {
        return;
    }
    // Document and MS-document password requests all derive from PasswordRequest.
    css::task::PasswordRequest password;
    if (request->getRequest() >>= password) {
        passwordRequested_ = true;
    }
    const auto continuations = request->getContinuations();
    for (const auto& continuation : continuations) {
        css::uno::Reference<css::task::XInteractionAbort> abort(continuation, css::uno::UNO_QUERY);
        if (abort.is()) {
            abort->select();
            return;
        }
    }
}

}  // namespace tabrook::calcserver::office
