#include "support/form_fixture.h"

#include <fstream>
#include <iterator>

namespace tabrook::testing {

FormFixture::FormFixture()
    : services{fileSystem, messageBoxes, shell, dialogs, automation, appDir.Str()} {
    server.Register(automation);
}

FormFixture::~FormFixture() = default;

void FormFixture::WriteStateFile(const std::string& name, const std::vector<std::string>& lines) {
    std::string content;
    for (const std::string& line : lines) {
        content += line + "\r\n";
    }
    appDir.Write(name, content);
}

std::string FormFixture::ReadStateFile(const std::string& name) const {
    std::ifstream in(appDir.Path() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

app::Form1& FormFixture::Open() {
    form_ = std::make_unique<app::Form1>(services);
    return *form_;
}

void FormFixture::Close() {
    form_->close();
}

}  // namespace tabrook::testing
