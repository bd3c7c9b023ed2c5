#pragma once
// A thin streaming XML reader over expat: element and attribute names arrive without
// their namespace, text arrives in pieces.

#include <functional>
#include <string>
#include <string_view>

namespace tabrook::calcserver::package {
class ZipReader;
}

namespace tabrook::calcserver::xlsb {

// Attributes as expat hands them: name, value, name, value, ..., nullptr.
class Attributes {
  public:
    explicit Attributes(const char** pairs) : pairs_(pairs) {}
    // The value of the attribute with this local name, or nullptr.
    const char* Get(std::string_view local_name) const;

  private:
    const char** pairs_;
};

class SaxHandler {
  public:
    virtual ~SaxHandler() = default;
    virtual void Start(std::string_view name, const Attributes& attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;
};

// Streams one part of the package through the handler. Throws XlsbError naming the part
// when the XML is malformed; exceptions from the handler pass through unchanged.
void ReadPart(const package::ZipReader& zip, const std::string& part, SaxHandler& handler);

// The same for XML already in memory; `name` names it in the error.
void ReadXml(std::string_view xml, const std::string& name, SaxHandler& handler);

}  // namespace tabrook::calcserver::xlsb
