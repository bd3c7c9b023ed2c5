#pragma once
// One object per dialog use: hand it the owning window (Init), set a few properties, call
// a Show method and read the results back from the properties.
//
// The file, folder and property parts live in common_dialogs.cpp; the colour, font and
// printer choosers in common_dialogs_choosers.cpp.

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace tabrook::platform {
class Dialogs;
class FileSystem;
struct Services;
}  // namespace tabrook::platform

namespace tabrook::dialogs {

// Raised by ShowOpen before any dialog when FileName is longer than the dialog accepts.
class InvalidArgumentError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// The longest FileName, in characters, that ShowOpen takes as the initial name.
inline constexpr std::size_t kMaxOpenFileName = 260;

class CCommonDialogs {
  public:
    // `appFolder` is where ShowSave starts when Path is blank or names no folder.
    CCommonDialogs(platform::Dialogs& dialogs, const platform::FileSystem& fileSystem,
                   std::string appFolder);
    explicit CCommonDialogs(const platform::Services& services);

    // Every Show method is modal to this window. Without Init the dialogs have no owner.
    void Init(QWidget* ownerForm);

    // Texts are stored as given; the getters of FileTitle, Path, FileName and Title return
    // the stored text up to its first NUL character, the others return it unchanged.
    std::string FileTitle() const;
    void SetFileTitle(std::string value) { fileTitle_ = std::move(value); }
    std::string Path() const;
    void SetPath(std::string value) { path_ = std::move(value); }
    // Descriptions and patterns in alternation, separated by "|"; only ShowSave reads it.
    std::string Filter() const { return filter_; }
    void SetFilter(std::string value) { filter_ = std::move(value); }
    std::string FileName() const;
    void SetFileName(std::string value) { fileName_ = std::move(value); }
    std::string Title() const;
    void SetTitle(std::string value) { title_ = std::move(value); }
    std::string DefExt() const { return defExt_; }
    void SetDefExt(std::string value) { defExt_ = std::move(value); }

    // 0x00BBGGRR.
    std::uint32_t Color() const { return color_; }
    void SetColor(std::uint32_t value) { color_ = value; }
    std::string FontName() const { return fontName_; }
    void SetFontName(std::string value) { fontName_ = std::move(value); }
    // Whole points.
    std::int16_t FontSize() const { return fontSize_; }
    void SetFontSize(std::int16_t value) { fontSize_ = value; }
    bool FontBold() const { return fontBold_; }
    void SetFontBold(bool value) { fontBold_ = value; }
    bool FontItalic() const { return fontItalic_; }
    void SetFontItalic(bool value) { fontItalic_ = value; }
    bool FontUnderline() const { return fontUnderline_; }
    void SetFontUnderline(bool value) { fontUnderline_ = value; }

    // One existing workbook. True when chosen: FileName is its full path, FileTitle its
    // name and Path its folder. Throws InvalidArgumentError, before any dialog, when
    // FileName is longer than kMaxOpenFileName characters.
    bool ShowOpen();
    // A name to save under. Settles Path first (kept even on cancel): blank or no such
    // folder gives the application's folder, otherwise Path gets a trailing "/".
    bool ShowSave();
    // A folder. True when chosen: Path is the folder (no trailing "/" except for "/"
    // itself), FileName and FileTitle are cleared.
    bool ShowFolder();

    // Colour, font and printer choosers.
    bool ShowColor(bool fullOpen);
    bool ShowFont();
    bool ShowPrinter();
    bool ShowPrinterProperties();

  private:
    // The owner window now, or none when Init was not called or the window has gone.
    QWidget* Owner() const { return owner_.data(); }
    // Stores a confirmed file choice: FileName, FileTitle and Path.
    void TakeChosenFile(const std::string& fullPath);

    platform::Dialogs& dialogs_;
    const platform::FileSystem& fileSystem_;
    std::string appFolder_;

    std::string fileTitle_;
    std::string path_;
    std::string filter_;
    std::string fileName_;
    std::uint32_t color_ = 0;
    std::string title_;
    QPointer<QWidget> owner_;
    std::string defExt_;
    std::string fontName_;
    std::int16_t fontSize_ = 0;
    bool fontBold_ = false;
    bool fontItalic_ = false;
    bool fontUnderline_ = false;
};

// The folder browser as the window's commands use it: a new object owned by `owner`, with
// `title`. The chosen folder's path, or nothing when the user cancelled or the chosen item
// has no file-system path.
std::optional<std::string> ChooseFolder(const platform::Services& services, QWidget* owner,
                                        const std::string& title);

}  // namespace tabrook::dialogs
