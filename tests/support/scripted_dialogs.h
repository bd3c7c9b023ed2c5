#pragma once
// A double of the common dialogs: each method answers with the next scripted answer
// (cancel when none is left) and records the request it was given.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace tabrook::testing {

class ScriptedDialogs final : public platform::Dialogs {
  public:
    std::optional<std::string> OpenFile(QWidget* owner,
                                        const platform::FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(QWidget* owner,
                                        const platform::FileDialogRequest& request) override;
    std::optional<std::string> Folder(QWidget* owner, const std::string& title) override;
    std::optional<std::uint32_t> Color(QWidget* owner, std::uint32_t initial,
                                       bool fullOpen) override;
    std::optional<platform::FontResult> Font(QWidget* owner,
                                             const platform::FontRequest& request) override;
    int ScreenDpiY() const override { return screenDpiY; }
    bool Print(QWidget* owner) override;
    std::string DefaultPrinterName() const override { return defaultPrinter; }
    bool PrinterProperties(QWidget* owner, const std::string& printerName) override;

    // Answers, taken front first; std::nullopt scripts a cancel.
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<std::string>> folderAnswers;
    std::deque<std::optional<std::uint32_t>> colorAnswers;
    std::deque<std::optional<platform::FontResult>> fontAnswers;
    std::deque<bool> printAnswers;
    std::deque<bool> printerPropertiesAnswers;
    int screenDpiY = 96;
    std::string defaultPrinter;

    // What the program asked.
    std::vector<platform::FileDialogRequest> openRequests;
    std::vector<platform::FileDialogRequest> saveRequests;
    std::vector<std::string> folderTitles;
    std::vector<std::pair<std::uint32_t, bool>> colorRequests;
    std::vector<platform::FontRequest> fontRequests;
    std::vector<std::string> printerPropertiesRequests;
    std::vector<QWidget*> owners;
};

}  // namespace tabrook::testing
