#pragma once
// Answers every question the office would ask a user with "abort", so no dialog can ever
// wait for an answer, and remembers whether a password was asked for.

#include <atomic>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <cppuhelper/implbase1.hxx>

namespace tabrook::calcserver::office {

class AbortingInteractionHandler
    : public cppu::WeakImplHelper1<com::sun::star::task::XInteractionHandler> {
  public:
    void SAL_CALL
    handle(const com::sun::star::uno::Reference<com::sun::star::task::XInteractionRequest>& request)
        override;

    bool PasswordRequested() const { return passwordRequested_; }

  private:
    std::atomic<bool> passwordRequested_{false};
};

}  // namespace tabrook::calcserver::office
