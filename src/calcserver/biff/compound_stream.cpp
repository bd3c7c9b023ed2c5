#include "calcserver/biff/compound_stream.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <strings.h>

#include <memory>
#include <string>

#include "calcserver/biff/biff_workbook.h"

namespace tabrook::calcserver::biff {

namespace {

// Far beyond any real workbook; a larger stream means a damaged directory.
constexpr gsf_off_t kLargestStream = gsf_off_t{1} << 30;

struct GObjectUnref {
    void operator()(void* object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

std::string TakeMessage(GError* error) {
    std::string message = error != nullptr && error->message != nullptr ? error->message : "";
    if (error != nullptr) {
        g_error_free(error);
    }
    return message;
}

GPtr<GsfInput> ChildNamed(GsfInfile* storage, const char* wanted) {
    const int count = gsf_infile_num_children(storage);
    for (int i = 0; i < count; ++i) {
        const char* name = gsf_infile_name_by_index(storage, i);
        if (name != nullptr && ::strcasecmp(name, wanted) == 0) {
            return GPtr<GsfInput>(gsf_infile_child_by_index(storage, i));
        }
    }
    return nullptr;
}

}  // namespace

std::vector<std::uint8_t> ReadWorkbookStreamFromFile(const std::filesystem::path& xls) {
    GError* error = nullptr;
    GPtr<GsfInput> file(gsf_input_stdio_new(xls.c_str(), &error));
    if (!file) {
        throw BiffError("cannot open " + xls.string() + ": " + TakeMessage(error));
    }
    GPtr<GsfInfile> storage(gsf_infile_msole_new(file.get(), &error));
    if (!storage) {
        TakeMessage(error);
        throw BiffError(xls.filename().string() + " is not an Excel 97-2003 compound file");
    }
    GPtr<GsfInput> stream = ChildNamed(storage.get(), "Workbook");
    if (!stream) {
        if (ChildNamed(storage.get(), "Book")) {
            throw BiffError(xls.filename().string() +
                            " is an Excel 5.0/95 (BIFF5) workbook; only BIFF8 is read");
        }
        throw BiffError(xls.filename().string() + " holds no workbook stream");
    }
    const gsf_off_t size = gsf_input_size(stream.get());
    if (size < 0 || size > kLargestStream) {
        throw BiffError(xls.filename().string() + " has a workbook stream of impossible size");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1 << 16);
        if (gsf_input_read(stream.get(), chunk, bytes.data() + done) == nullptr) {
            throw BiffError(xls.filename().string() + ": the workbook stream cannot be read");
        }
        done += chunk;
    }
    return bytes;
}

}  // namespace tabrook::calcserver::biff
