#pragma once
// What an exception from a call on the office means. Only a lost connection (the bridge
// disposed, the process gone) ends the office; any other UNO exception is about the one
// workbook the call was for, and the office still answers.

#include <exception>
#include <string>

namespace tabrook::calcserver::office {

struct CallFailure {
    bool officeGone = false;
    std::string reason;  // plain words, for the user
};

// `failure` holds what a call into the office threw. Rethrows what is not a UNO exception.
CallFailure ClassifyCallFailure(const std::exception_ptr& failure);

}  // namespace tabrook::calcserver::office
