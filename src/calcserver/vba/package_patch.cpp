#include "calcserver/vba/package_patch.h"

#include <map>
#include <set>

#include "calcserver/package/content_types.h"
#include "calcserver/package/package_xml.h"
#include "calcserver/package/part_names.h"
#include "calcserver/package/relationships.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/vba/package_types.h"
#include "calcserver/vba/vba_error.h"

namespace tabrook::calcserver::vba {
namespace {

using package::ChildNamed;
using package::ContentTypes;
using package::LoadPart;
using package::LocalName;
using package::Relationship;
using package::SavePart;
using package::ZipReader;
using package::ZipWriter;

const std::string kContentTypesPart(package::kContentTypesPart);

std::string FolderOf(const std::string& part) {
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// Case-insensitive, as VBA compares identifiers; only ASCII letters fold here.
std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

std::string SheetCodeNameOf(const pugi::xml_document& part) {
    return ChildNamed(part.document_element(), "sheetPr").attribute("codeName").value();
}

std::string WorkbookCodeNameOf(const pugi::xml_document& workbook) {
    return ChildNamed(workbook.document_element(), "workbookPr").attribute("codeName").value();
}

std::vector<Relationship> OfType(const std::vector<Relationship>& relationships,
                                 std::string_view type) {
    std::vector<Relationship> matching;
    for (const Relationship& relationship : relationships) {
        if (relationship.type == type) {
            matching.push_back(relationship);
        }
    }
    return matching;
}

class PackagePatcher {
  public:
    PackagePatcher(const std::filesystem::path& packageIn, const PackageChanges& changes)
        : packageIn_(packageIn), reader_(packageIn), changes_(changes) {
        for (const Relationship& relationship :
             OfType(package::RelationshipsOf(reader_, ""), kOfficeDocumentRelType)) {
            if (!relationship.external) {
                mainPart_ = package::ResolvePartTarget("", relationship.target);
                break;
            }
        }
        if (mainPart_.empty() || !reader_.Has(mainPart_) || !reader_.Has(kContentTypesPart)) {
            throw VbaError("the converted package " + packageIn.string() + " has no workbook part");
        }
        mainRelsPart_ = package::RelationshipsPartOf(mainPart_);
    }

    PatchResult Apply(const std::filesystem::path& packageOut) {
        ContentTypes types = package::ParseContentTypes(reader_.Read(kContentTypesPart));
        std::vector<Relationship> mainRels = package::RelationshipsOf(reader_, mainPart_);
        bool typesChanged = false;
        bool relsChanged = false;

        if (changes_.vbaProject || changes_.removeVba) {
            for (const Relationship& relationship : OfType(mainRels, kVbaProjectRelType)) {
                if (!relationship.external) {
                    RemovePart(package::ResolvePartTarget(mainPart_, relationship.target), types);
                    result_.vbaPartRemoved = true;
                }
                relsChanged = true;
                typesChanged = true;
            }
            std::erase_if(mainRels, [](const Relationship& relationship) {
                return relationship.type == kVbaProjectRelType;
            });
        }
        if (changes_.vbaProject) {
            const std::string vbaPart = FolderOf(mainPart_) + "vbaProject.bin";
            // A stale relationship part of an earlier VBA part would attach itself again.
            removed_.insert(package::RelationshipsPartOf(vbaPart));
            package::AddRelationship(mainRels, kVbaProjectRelType, "vbaProject.bin");
            types.overrides[vbaPart] = kVbaProjectContentType;
            replaced_[vbaPart] = *changes_.vbaProject;
            relsChanged = true;
            typesChanged = true;
        }

        const std::string mainType = types.TypeOf(mainPart_);
        if (changes_.macroEnabled && mainType != kMacroEnabledMainType) {
            types.overrides[mainPart_] = kMacroEnabledMainType;
            typesChanged = true;
        } else if (!changes_.macroEnabled && mainType == kMacroEnabledMainType) {
            types.overrides[mainPart_] = kPlainMainType;
            typesChanged = true;
        }

        if (changes_.codeNames) {
            ApplyCodeNames(*changes_.codeNames, mainRels);
        }
        if (typesChanged) {
            replaced_[kContentTypesPart] = package::WriteContentTypes(types);
        }
        if (relsChanged) {
            replaced_[mainRelsPart_] = package::WriteRelationships(mainRels);
        }
        std::error_code ignored;
        const bool inPlace = std::filesystem::equivalent(packageIn_, packageOut, ignored);
        if (!inPlace || !replaced_.empty() || !removed_.empty()) {
            Write(packageOut);
        }
        return result_;
    }

  private:
    // Removes a part together with its own relationship part and the parts that names.
    void RemovePart(const std::string& part, ContentTypes& types) {
        removed_.insert(part);
        types.overrides.erase(part);
        const std::string relsPart = package::RelationshipsPartOf(part);
        if (!reader_.Has(relsPart)) {
            return;
        }
        removed_.insert(relsPart);
        for (const Relationship& relationship :
             package::ParseRelationships(reader_.Read(relsPart))) {
            if (!relationship.external) {
                const std::string target = package::ResolvePartTarget(part, relationship.target);
                removed_.insert(target);
                types.overrides.erase(target);
            }
        }
    }

    void Note(std::string text) { result_.notes.push_back(std::move(text)); }

    // Keeps a code name out when it is malformed or already taken, so the package never
    // binds two objects to one module.
    bool Admit(const std::string& codeName, const std::string& owner) {
        if (!IsAcceptableCodeName(codeName)) {
            Note("the code name of " + owner + " is not a valid name and was left out");
            return false;
        }
        if (!taken_.insert(Folded(codeName)).second) {
            Note("the code name " + codeName + " of " + owner +
                 " is already used by another object and was left out");
            return false;
        }
        return true;
    }

    std::map<std::string, std::string> SheetParts(const pugi::xml_document& workbook,
                                                  const std::vector<Relationship>& mainRels) const {
        std::map<std::string, std::string> targetById;
        for (const Relationship& relationship : mainRels) {
            if (!relationship.external) {
                targetById[relationship.id] =
                    package::ResolvePartTarget(mainPart_, relationship.target);
            }
        }
        std::map<std::string, std::string> partBySheet;
        const pugi::xml_node sheets = ChildNamed(workbook.document_element(), "sheets");
        for (const pugi::xml_node sheet : sheets.children()) {
            if (sheet.type() == pugi::node_element && LocalName(sheet) == "sheet") {
                const auto target = targetById.find(package::AttributeNamed(sheet, "id").value());
                if (target != targetById.end() && reader_.Has(target->second)) {
                    partBySheet[sheet.attribute("name").value()] = target->second;
                }
            }
        }
        return partBySheet;
    }

    // Objects the source names no code name for are left as the engine wrote them.
    void ApplyCodeNames(const CodeNames& names, const std::vector<Relationship>& mainRels) {
        pugi::xml_document workbook;
        LoadPart(workbook, reader_.Read(mainPart_), mainPart_);
        if (!names.workbook.empty() && Admit(names.workbook, "the workbook")) {
            if (names.workbook != WorkbookCodeNameOf(workbook)) {
                SetWorkbookCodeName(workbook, names.workbook);
                replaced_[mainPart_] = SavePart(workbook);
            }
            result_.workbookCodeNameSet = true;
        }

        const std::map<std::string, std::string> partBySheet = SheetParts(workbook, mainRels);
        for (const SheetCodeName& source : names.sheets) {
            if (source.codeName.empty()) {
                continue;
            }
            const std::string owner = "the sheet " + source.sheet;
            const auto part = partBySheet.find(source.sheet);
            if (part == partBySheet.end()) {
                Note("the code name " + source.codeName + " of " + owner +
                     " was left out: the converted package has no such sheet");
                continue;
            }
            pugi::xml_document sheetPart;
            LoadPart(sheetPart, reader_.Read(part->second), part->second);
            const SheetPartKind wanted =
                source.isWorksheet ? SheetPartKind::Worksheet : SheetPartKind::OtherSheet;
            if (KindOfSheetPart(sheetPart) != wanted) {
                // The engine turned, say, a chart sheet into a worksheet; the chart's
                // document module would then drive an object of the wrong kind.
                Note("the code name " + source.codeName + " of " + owner +
                     " was left out: the converted sheet is of another kind");
                continue;
            }
            if (!Admit(source.codeName, owner)) {
                continue;
            }
            if (SheetCodeNameOf(sheetPart) != source.codeName) {
                SetSheetCodeName(sheetPart, source.codeName);
                replaced_[part->second] = SavePart(sheetPart);
            }
            ++result_.sheetCodeNamesSet;
        }
    }

    void Write(const std::filesystem::path& packageOut) {
        ZipWriter writer(packageOut);
        std::map<std::string, std::string> pending = replaced_;
        for (const std::string& name : reader_.EntryNames()) {
            if (name.empty() || name.back() == '/') {
                continue;  // folder entries are no parts
            }
            if (auto replacement = pending.find(name); replacement != pending.end()) {
                writer.Add(name, std::move(replacement->second));
                pending.erase(replacement);
            } else if (removed_.count(name) == 0) {
                writer.CopyFrom(reader_, name);
            }
        }
        for (auto& [name, content] : pending) {
            writer.Add(name, std::move(content));
        }
        writer.Commit();
    }

    std::filesystem::path packageIn_;
    ZipReader reader_;
    const PackageChanges& changes_;
    std::string mainPart_;
    std::string mainRelsPart_;
    std::map<std::string, std::string> replaced_;
    std::set<std::string> removed_;
    std::set<std::string> taken_;
    PatchResult result_;
};

}  // namespace

PatchResult PatchPackage(const std::filesystem::path& packageIn,
                         const std::filesystem::path& packageOut, const PackageChanges& changes) {
    try {
        PackagePatcher patcher(packageIn, changes);
        return patcher.Apply(packageOut);
    } catch (const package::PackageError& error) {
        throw VbaError(error.what());
    }
}

}  // namespace tabrook::calcserver::vba
