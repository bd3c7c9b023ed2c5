#pragma once
// The package bookkeeping the VBA part needs: relationship parts and [Content_Types].xml.
// Part names here are zip entry names, without the leading "/" of Open XML part names.

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "calcserver/package/part_names.h"

namespace tabrook::calcserver::vba {

inline constexpr std::string_view kVbaProjectRelType =
    "http://schemas.microsoft.com/office/2006/relationships/vbaProject";
inline constexpr std::string_view kOfficeDocumentRelType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr std::string_view kVbaProjectContentType = "application/vnd.ms-office.vbaProject";
inline constexpr std::string_view kMacroEnabledMainType =
    "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
inline constexpr std::string_view kPlainMainType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

struct Relationship {
    std::string id;
    std::string type;
    std::string target;
    bool external = false;
};

class Relationships {
  public:
    // An absent part is an empty list; throws VbaError when the part is malformed.
    Relationships(const std::string& xml, const std::string& partName);

    std::vector<Relationship> All() const;
    std::vector<Relationship> OfType(std::string_view type) const;
    void RemoveOfType(std::string_view type);
    // Adds an internal relationship and returns its new, unused id.
    std::string Add(std::string_view type, std::string_view target);
    std::string Xml() const;

  private:
    pugi::xml_document document_;
};

class ContentTypes {
  public:
    explicit ContentTypes(const std::string& xml);

    // The override's type for a part, or empty when it has none.
    std::string OverrideOf(std::string_view part) const;
    void SetOverride(std::string_view part, std::string_view contentType);
    void RemoveOverride(std::string_view part);
    std::string Xml() const;

  private:
    pugi::xml_node FindOverride(std::string_view part) const;
    pugi::xml_document document_;
};

}  // namespace tabrook::calcserver::vba
