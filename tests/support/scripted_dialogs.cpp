#include "support/scripted_dialogs.h"

namespace tabrook::testing {
namespace {

template <typename T>
T Next(std::deque<T>& answers, T whenEmpty) {
    if (answers.empty()) {
        return whenEmpty;
    }
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace

std::optional<std::string> ScriptedDialogs::OpenFile(QWidget* owner,
                                                     const platform::FileDialogRequest& request) {
    owners.push_back(owner);
    openRequests.push_back(request);
    return Next(openAnswers, std::optional<std::string>());
}

std::optional<std::string> ScriptedDialogs::SaveFile(QWidget* owner,
                                                     const platform::FileDialogRequest& request) {
    owners.push_back(owner);
    saveRequests.push_back(request);
    return Next(saveAnswers, std::optional<std::string>());
}

std::optional<std::string> ScriptedDialogs::Folder(QWidget* owner, const std::string& title) {
    owners.push_back(owner);
    folderTitles.push_back(title);
    return Next(folderAnswers, std::optional<std::string>());
}

std::optional<std::uint32_t> ScriptedDialogs::Color(QWidget* owner, std::uint32_t initial,
                                                    bool fullOpen) {
    owners.push_back(owner);
    colorRequests.emplace_back(initial, fullOpen);
    return Next(colorAnswers, std::optional<std::uint32_t>());
}

std::optional<platform::FontResult> ScriptedDialogs::Font(QWidget* owner,
                                                          const platform::FontRequest& request) {
    owners.push_back(owner);
    fontRequests.push_back(request);
    return Next(fontAnswers, std::optional<platform::FontResult>());
}

bool ScriptedDialogs::Print(QWidget* owner) {
    owners.push_back(owner);
    return Next(printAnswers, false);
}

bool ScriptedDialogs::PrinterProperties(QWidget* owner, const std::string& printerName) {
    owners.push_back(owner);
    printerPropertiesRequests.push_back(printerName);
    return Next(printerPropertiesAnswers, false);
}

}  // namespace tabrook::testing
