#include "sources/source_entry_commands.h"

#include <string>

#include "app/form1.h"
#include "dialogs/common_dialogs.h"
#include "sources/file_list.h"
#include "state/listed_path.h"

namespace tabrook::sources {
namespace {

// The add and remove commands end with the default pointer however they end.
class DefaultPointerAtEnd {
  public:
    explicit DefaultPointerAtEnd(app::Form1& form) : form_(form) {}
    ~DefaultPointerAtEnd() { form_.SetMousePointer(app::MousePointer::Default); }
    DefaultPointerAtEnd(const DefaultPointerAtEnd&) = delete;
    DefaultPointerAtEnd& operator=(const DefaultPointerAtEnd&) = delete;

  private:
    app::Form1& form_;
};

// Removes the selected entry and puts it back one place away, with its text and icon,
// still selected. The file list keeps showing its files, check marks as the user left them.
void MoveSelectedEntry(app::Form1& form, int step) {
    platform::ListView& entries = form.ListView1();
    if (entries.Count() == 0) {
        return;
    }
    const std::optional<platform::ListItem> selected = entries.SelectedItem();
    if (!selected.has_value()) {
        return;
    }
    const int from = selected->Index();
    const int to = from + step;
    if (to < 1 || to > entries.Count()) {
        return;
    }
    const std::string text = selected->Text();
    const int icon = selected->SmallIcon();
    entries.Remove(from);
    platform::ListItem moved = entries.Add(text, to);
    moved.SetSmallIcon(icon);
    moved.SetSelected(true);
    moved.EnsureVisible();
}

}  // namespace

void AddSourceFile(app::Form1& form) {
    const DefaultPointerAtEnd pointer(form);
    dialogs::CCommonDialogs dialog(form.Svc());
    dialog.Init(&form);
    dialog.SetTitle("Select Excel File");
    if (!dialog.ShowOpen()) {
        return;
    }
    const std::string path = dialog.FileName();
    if (!state::AcceptListedPath(form, path)) {
        return;
    }

    platform::ListView& entries = form.ListView1();
    platform::ListItem row = entries.Add(path);
    row.SetSmallIcon(app::kImageWorkbook);
    row.SetSelected(true);
    entries.Refresh();
    row.EnsureVisible();
    FillFileList(form, path);
}

void AddSourceFolder(app::Form1& form) {
    const DefaultPointerAtEnd pointer(form);
    const std::optional<std::string> chosen =
        dialogs::ChooseFolder(form.Svc(), &form, "Add all excel files in folder");
    if (!chosen) {
        return;
    }
    const std::string& path = *chosen;
    if (!state::AcceptListedPath(form, path)) {
        return;
    }

    platform::ListView& entries = form.ListView1();
    platform::ListItem row = entries.Add(path);
    row.SetSmallIcon(app::kImageFolder);
    row.SetSelected(true);
    FillFileList(form, path);
    entries.Refresh();
    row.EnsureVisible();
}

void RemoveSourceEntry(app::Form1& form) {
    const DefaultPointerAtEnd pointer(form);
    platform::ListView& entries = form.ListView1();
    const int countBefore = entries.Count();
    if (countBefore == 0) {
        return;
    }
    const std::optional<platform::ListItem> selected = entries.SelectedItem();
    if (!selected.has_value()) {
        return;
    }
    const int removed = selected->Index();
    entries.Remove(removed);
    if (countBefore == 1) {
        form.ListView2().Clear();
        return;
    }
    // The entry before the removed one; for the first, the one that followed it.
    platform::ListItem next = entries.Item(removed == 1 ? 1 : removed - 1);
    next.SetSelected(true);
    next.EnsureVisible();
    FillFileList(form, next.Text());
}

void RemoveAllSourceEntries(app::Form1& form) {
    form.ListView1().Clear();
    form.ListView2().Clear();
}

void MoveSourceEntryUp(app::Form1& form) {
    MoveSelectedEntry(form, -1);
}

void MoveSourceEntryDown(app::Form1& form) {
    MoveSelectedEntry(form, +1);
}

void ShowSourceEntryFiles(app::Form1& form) {
    platform::ListView& entries = form.ListView1();
    if (entries.Count() == 0) {
        return;
    }
    const std::optional<platform::ListItem> selected = entries.SelectedItem();
    if (!selected.has_value()) {
        return;
    }
    const std::string text = selected->Text();
    form.ListView2().Clear();
    form.SetMousePointer(app::MousePointer::Hourglass);
    FillFileList(form, text);
    form.SetMousePointer(app::MousePointer::Default);
}

}  // namespace tabrook::sources
