#pragma once

#include "platform/dialogs.h"

namespace tabrook::platform {

// Qt's file, folder, colour, font, print and page-setup dialogs.
class QtDialogs final : public Dialogs {
  public:
    std::optional<std::string> OpenFile(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<std::string> Folder(QWidget* owner, const std::string& title) override;
    std::optional<std::uint32_t> Color(QWidget* owner, std::uint32_t initial,
                                       bool fullOpen) override;
    std::optional<FontResult> Font(QWidget* owner, const FontRequest& request) override;
    int ScreenDpiY() const override;
    bool Print(QWidget* owner) override;
    std::string DefaultPrinterName() const override;
    bool PrinterProperties(QWidget* owner, const std::string& printerName) override;
};

}  // namespace tabrook::platform
