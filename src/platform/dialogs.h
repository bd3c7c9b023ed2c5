#pragma once
// The platform's common dialogs behind one small interface: file open and save, folder
// browser, colour, font, print and printer properties. Every method is modal to `owner`.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tabrook::platform {

struct FileFilter {
    std::string description;  // e.g. "Excel Files(*.xls;*.xlsx;*.xlsm;*.xlsb)"
    std::string pattern;      // e.g. "*.xl*"; several patterns separated by ";"
};

struct FileDialogRequest {
    std::string title;
    std::vector<FileFilter> filters;
    int selectedFilter = 0;     // 0-based
    std::string initialFolder;  // empty: the dialog's own default
    std::string initialName;    // shown in the file-name box
    std::string defaultExtension;
};

// A font as the font dialog takes and gives it.
struct FontRequest {
    std::string faceName;
    int heightPixels = 0;  // negative: character height, as the font description stores it
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

struct FontResult {
    std::string faceName;
    int pointSizeTenths = 0;
    bool bold = false;
    bool italic = false;
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A chosen existing file's full path; empty when cancelled.
    virtual std::optional<std::string> OpenFile(QWidget* owner,
                                                const FileDialogRequest& request) = 0;
    // A chosen file name to save under (no existence checks, no overwrite prompt).
    virtual std::optional<std::string> SaveFile(QWidget* owner,
                                                const FileDialogRequest& request) = 0;
    // A chosen folder's path; an empty text when the item has no file-system path.
    virtual std::optional<std::string> Folder(QWidget* owner, const std::string& title) = 0;

    // A chosen colour, 0x00BBGGRR.
    virtual std::optional<std::uint32_t> Color(QWidget* owner, std::uint32_t initial,
                                               bool fullOpen) = 0;
    virtual std::optional<FontResult> Font(QWidget* owner, const FontRequest& request) = 0;
    // The screen's vertical dots per inch, for point-to-pixel arithmetic.
    virtual int ScreenDpiY() const = 0;
    // Whether the user confirmed the print dialog.
    virtual bool Print(QWidget* owner) = 0;
    // The default printer's name, or empty when there is no printer.
    virtual std::string DefaultPrinterName() const = 0;
    // Shows that printer's own settings; false when it cannot be opened or was cancelled.
    virtual bool PrinterProperties(QWidget* owner, const std::string& printerName) = 0;
};

}  // namespace tabrook::platform
