#include "com_test_server/test_objects.h"

#include "platform/windows_text.h"

namespace tabrook::testserver {
namespace {

constexpr int kApplicationError = 1004;

std::string RequiredText(const VARIANT* value, const std::string& what) {
    if (value == nullptr || value->vt != VT_BSTR) {
        throw CallFailure{13, "Type mismatch: " + what + " must be a string"};
    }
    return Narrow(*value);
}

// The whole file, or nothing when it cannot be read.
bool ReadWhole(const std::string& path, std::string& content) {
    HANDLE file = ::CreateFileW(platform::ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char buffer[4096];
    DWORD got = 0;
    // Instructions sit at the start; a real workbook is not read further.
    const bool read = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0;
    ::CloseHandle(file);
    content.assign(buffer, read ? got : 0);
    return read;
}

void ReturnObject(VARIANT* result, IDispatch* object) {
    if (result == nullptr) {
        object->Release();
        return;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
}

}  // namespace

ApplicationObject::ApplicationObject(ServerProcess& process)
    : DispatchObject(process, "Application") {}

const std::vector<DispatchObject::Member>& ApplicationObject::Members() const {
    static const std::vector<Member> members{
        {"Workbooks", 1, {}}, {"DisplayAlerts", 2, {}}, {"Quit", 3, {}}};
    return members;
}

void ApplicationObject::Run(const Member& member, WORD flags, const CallArguments&,
                            VARIANT* result) {
    if (member.name == "Workbooks") {
        ReturnObject(result, new WorkbooksObject(process_));
    } else if (member.name == "DisplayAlerts") {
        if ((flags & DISPATCH_PROPERTYPUT) != 0) {
            if (result->vt != VT_BOOL) {
                throw CallFailure{13, "Type mismatch"};
            }
            displayAlerts_ = result->boolVal != VARIANT_FALSE;
        } else if (result != nullptr) {
            result->vt = VT_BOOL;
            result->boolVal = displayAlerts_ ? VARIANT_TRUE : VARIANT_FALSE;
        }
    }
    // Quit: the process ends once the last reference is released.
}

WorkbooksObject::WorkbooksObject(ServerProcess& process) : DispatchObject(process, "Workbooks") {}

const std::vector<DispatchObject::Member>& WorkbooksObject::Members() const {
    static const std::vector<Member> members{{"Open", 1, {"Filename"}}};
    return members;
}

void WorkbooksObject::Run(const Member&, WORD, const CallArguments& arguments, VARIANT* result) {
    const std::string path = RequiredText(arguments.At(0), "Filename");
    std::string content;
    if (!ReadWhole(path, content)) {
        throw CallFailure{kApplicationError, "'" + path + "' could not be found."};
    }
    // The workbook's own instructions, which may concern this very call.
    process_.AddFaults(content);
    process_.ActOnFault("Open");
    ReturnObject(result, new WorkbookObject(process_, path));
}

WorkbookObject::WorkbookObject(ServerProcess& process, std::string sourcePath)
    : DispatchObject(process, "Workbook"), sourcePath_(std::move(sourcePath)) {}

const std::vector<DispatchObject::Member>& WorkbookObject::Members() const {
    static const std::vector<Member> members{{"SaveAs", 1, {"Filename", "FileFormat"}},
                                             {"Close", 2, {}}};
    return members;
}

void WorkbookObject::Run(const Member& member, WORD, const CallArguments& arguments, VARIANT*) {
    if (closed_) {
        throw CallFailure{kApplicationError, "The workbook is closed."};
    }
    if (member.name == "Close") {
        closed_ = true;
        return;
    }
    const std::string target = RequiredText(arguments.At(0), "Filename");
    const VARIANT* format = arguments.At(1);
    const std::string formatText = format != nullptr ? Describe(*format) : "<none>";
    // The alerts are off, so a file already there is replaced without a word, as the real
    // application does.
    HANDLE file = ::CreateFileW(platform::ToWide(target).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw CallFailure{kApplicationError, "Cannot save '" + target + "'."};
    }
    const std::string output = "Tabrook test server output\r\nFileFormat=" + formatText +
                               "\r\nSource=" + sourcePath_ + "\r\n";
    DWORD written = 0;
    const bool ok =
        ::WriteFile(file, output.data(), static_cast<DWORD>(output.size()), &written, nullptr) != 0;
    ::CloseHandle(file);
    if (!ok) {
        throw CallFailure{kApplicationError, "Cannot write '" + target + "'."};
    }
}

}  // namespace tabrook::testserver
