#include "calcserver/xlsb/transcoder.h"

#include <stdlib.h>

#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "calcserver/owned_temporaries.h"
#include "calcserver/package/content_types.h"
#include "calcserver/package/part_names.h"
#include "calcserver/package/relationships.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/xlsb/comments_writer.h"
#include "calcserver/xlsb/external_link_writer.h"
#include "calcserver/xlsb/formula_encoder.h"
#include "calcserver/xlsb/shared_strings_writer.h"
#include "calcserver/xlsb/sheet_writer.h"
#include "calcserver/xlsb/styles_writer.h"
#include "calcserver/xlsb/workbook_part.h"

namespace tabrook::calcserver::xlsb {
namespace {

using package::ContentTypes;
using package::HasRelationshipKind;
using package::ParseContentTypes;
using package::ParseRelationships;
using package::Relationship;
using package::WriteContentTypes;
using package::WriteRelationships;
using package::ZipReader;
using package::ZipWriter;

constexpr const char* kWorkbookType = "application/vnd.ms-excel.sheet.binary.macroEnabled.main";
constexpr const char* kSheetType = "application/vnd.ms-excel.worksheet";
constexpr const char* kStylesType = "application/vnd.ms-excel.styles";
constexpr const char* kStringsType = "application/vnd.ms-excel.sharedStrings";
constexpr const char* kVbaType = "application/vnd.ms-office.vbaProject";
constexpr const char* kExternalLinkType = "application/vnd.ms-excel.externalLink";
constexpr const char* kCommentsType = "application/vnd.ms-excel.comments";
constexpr const char* kStylesRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* kVbaRelationship =
    "http://schemas.microsoft.com/office/2006/relationships/vbaProject";

// A private folder for the sheet record files, removed with its content.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (OwnedFolderPrefix("xlsb") + "XXXXXX"))
                .string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw XlsbError("cannot create a temporary folder for the binary workbook");
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

std::string AsBin(const std::string& part) {
    return part.ends_with(".xml") ? part.substr(0, part.size() - 4) + ".bin" : part + ".bin";
}

std::string Read(const ZipReader& zip, const std::string& part) {
    try {
        return zip.Read(part);
    } catch (const package::PackageError& error) {
        throw XlsbError(error.what());
    }
}

struct Plan {
    std::string workbook;  // source workbook part
    std::vector<Relationship> workbookRels;
    std::map<std::string, std::string> renamed;  // source part -> binary part
    std::set<std::string> dropped;               // parts with no place in the binary workbook
    std::vector<std::string> sheetParts;
    std::string styles;
    std::string strings;
    std::map<std::string, std::string> externalLinks;  // binary part -> records
    std::vector<std::string> comments;                 // source comments parts
};

Plan MakePlan(const ZipReader& zip, WorkbookInfo& info, std::string workbook) {
    Plan plan;
    plan.workbook = std::move(workbook);
    const std::string rels = package::RelationshipsPartOf(plan.workbook);
    if (zip.Has(rels)) {
        plan.workbookRels = ParseRelationships(Read(zip, rels));
    }
    std::map<std::string, const Relationship*> byId;
    for (const Relationship& relationship : plan.workbookRels) {
        byId[relationship.id] = &relationship;
        const std::string part = package::ResolvePartTarget(plan.workbook, relationship.target);
        if (relationship.external) {
            continue;
        }
        if (HasRelationshipKind(relationship, "styles")) {
            plan.styles = part;
        } else if (HasRelationshipKind(relationship, "sharedStrings")) {
            plan.strings = part;
        } else if (HasRelationshipKind(relationship, "calcChain")) {
            plan.dropped.insert(part);
        }
    }
    for (const SheetEntry& sheet : info.sheets) {
        const auto found = byId.find(sheet.relId);
        if (found == byId.end()) {
            throw XlsbError("the sheet " + sheet.name + " has no part in the package");
        }
        if (!HasRelationshipKind(*found->second, "worksheet")) {
            throw XlsbError(
                "the sheet " + sheet.name +
                " is a chart or dialog sheet, which the binary workbook writer cannot carry");
        }
        const std::string part = package::ResolvePartTarget(plan.workbook, found->second->target);
        if (!zip.Has(part)) {
            throw XlsbError("the sheet " + sheet.name + " has no part in the package");
        }
        plan.sheetParts.push_back(part);
        plan.renamed[part] = AsBin(part);
    }
    plan.renamed[plan.workbook] = AsBin(plan.workbook);
    // External workbook links become binary parts; other kinds of link are left out, and
    // formulas through them keep their cached values.
    for (ExternalBook& external : info.externals) {
        const auto found = byId.find(external.relId);
        if (found == byId.end()) {
            continue;
        }
        const std::string part = package::ResolvePartTarget(plan.workbook, found->second->target);
        std::optional<ExternalLinkPart> link;
        if (zip.Has(part)) {
            link = ConvertExternalLink(Read(zip, part));
        }
        if (!link) {
            plan.dropped.insert(part);
            continue;
        }
        external.linked = true;
        external.sheetNames = std::move(link->sheetNames);
        plan.renamed[part] = AsBin(part);
        plan.externalLinks[AsBin(part)] = std::move(link->records);
    }
    if (!plan.styles.empty() && zip.Has(plan.styles)) {
        plan.renamed[plan.styles] = AsBin(plan.styles);
    } else {
        plan.styles.clear();
    }
    if (!plan.strings.empty() && zip.Has(plan.strings)) {
        plan.renamed[plan.strings] = AsBin(plan.strings);
    } else {
        plan.strings.clear();
    }
    for (const std::string& sheet : plan.sheetParts) {
        const std::string sheetRels = package::RelationshipsPartOf(sheet);
        if (!zip.Has(sheetRels)) {
            continue;
        }
        for (const Relationship& relationship : ParseRelationships(Read(zip, sheetRels))) {
            const std::string part = package::ResolvePartTarget(sheet, relationship.target);
            if (!relationship.external && HasRelationshipKind(relationship, "comments") &&
                zip.Has(part) && !plan.renamed.contains(part)) {
                plan.comments.push_back(part);
                plan.renamed[part] = AsBin(part);
            }
        }
    }
    return plan;
}

std::vector<Relationship> Rewritten(const std::vector<Relationship>& relationships,
                                    const std::string& owner, const Plan& plan) {
    std::vector<Relationship> out;
    for (Relationship relationship : relationships) {
        if (!relationship.external) {
            const std::string part = package::ResolvePartTarget(owner, relationship.target);
            if (plan.dropped.contains(part)) {
                continue;
            }
            if (plan.renamed.contains(part) && relationship.target.ends_with(".xml")) {
                relationship.target = AsBin(relationship.target);
            }
        }
        out.push_back(std::move(relationship));
    }
    return out;
}

std::vector<EncodedFormula> EncodeNames(const WorkbookInfo& info, WorkbookScope& scope,
                                        TranscodeReport& report) {
    std::vector<EncodedFormula> out;
    for (const DefinedName& name : info.names) {
        if (name.macro && name.formula.empty()) {
            out.push_back({});  // a macro's name holds no formula
            continue;
        }
        try {
            out.push_back(EncodeFormula(name.formula, FormulaKind::kName, scope, name.sheet));
        } catch (const UnencodableFormula& why) {
            // Keep the name, so that formulas naming it still find it, but as #REF!.
            out.push_back({std::string("\x1C\x17", 2), {}});
            const std::string sheet =
                name.sheet >= 0 && static_cast<std::size_t>(name.sheet) < info.sheets.size()
                    ? info.sheets[static_cast<std::size_t>(name.sheet)].name
                    : "";
            report.AddUnencoded({sheet, "name " + name.name, name.formula, why.what()});
        }
    }
    return out;
}

std::string WorkbookPartOf(const ZipReader& zip) {
    if (!zip.Has("_rels/.rels")) {
        throw XlsbError("the package has no relationships, so it is not a workbook");
    }
    for (const Relationship& relationship : ParseRelationships(Read(zip, "_rels/.rels"))) {
        if (!relationship.external && HasRelationshipKind(relationship, "officeDocument")) {
            const std::string part = package::ResolvePartTarget("", relationship.target);
            if (zip.Has(part)) {
                return part;
            }
        }
    }
    throw XlsbError("the package has no workbook part");
}

TranscodeReport Transcode(const std::filesystem::path& source,
                          const std::filesystem::path& target) {
    const ZipReader zip(source);
    TranscodeReport report;
    if (!zip.Has("[Content_Types].xml")) {
        throw XlsbError(source.string() + " is not an Office Open XML package");
    }
    const ContentTypes sourceTypes = ParseContentTypes(Read(zip, "[Content_Types].xml"));
    const std::string workbookPart = WorkbookPartOf(zip);
    WorkbookInfo info = ParseWorkbook(Read(zip, workbookPart));
    Plan plan = MakePlan(zip, info, workbookPart);

    WorkbookScope scope(info);
    const std::vector<EncodedFormula> names = EncodeNames(info, scope, report);
    StylesWriter styles(plan.styles.empty() ? std::string() : Read(zip, plan.styles));
    std::optional<SharedStrings> strings;
    if (!plan.strings.empty()) {
        strings = ConvertSharedStrings(zip, plan.strings, styles);
    }

    std::vector<std::pair<std::string, std::string>> comments;  // binary part, records
    for (const std::string& part : plan.comments) {
        comments.emplace_back(plan.renamed.at(part), ConvertComments(Read(zip, part), styles));
    }

    ScratchDir scratch;
    std::vector<std::filesystem::path> sheetFiles;
    for (std::size_t i = 0; i < plan.sheetParts.size(); ++i) {
        SheetJob job{plan.sheetParts[i], info.sheets[i].name, static_cast<int>(i),
                     scratch.Path() / ("sheet" + std::to_string(i) + ".bin")};
        ConvertSheet(zip, job, scope, report);
        sheetFiles.push_back(job.output);
    }
    const std::string workbookRecords = WorkbookRecords(info, scope, names);

    // The package: content types, relationships, converted parts, everything else as is.
    std::vector<Relationship> workbookRels = Rewritten(plan.workbookRels, plan.workbook, plan);
    const std::string vbaPart = package::ResolvePartTarget(plan.workbook, "vbaProject.bin");
    if (zip.Has(vbaPart)) {
        bool linked = false;
        for (const auto& relationship : workbookRels) {
            linked = linked ||
                     (!relationship.external &&
                      package::ResolvePartTarget(plan.workbook, relationship.target) == vbaPart);
        }
        if (!linked) {
            package::AddRelationship(workbookRels, kVbaRelationship, "vbaProject.bin");
        }
    }

    if (plan.styles.empty()) {
        package::AddRelationship(workbookRels, kStylesRelationship, "styles.bin");
    }

    ContentTypes types;
    types.defaults = sourceTypes.defaults;
    types.defaults["bin"] = kWorkbookType;
    types.defaults["rels"] = "application/vnd.openxmlformats-package.relationships+xml";
    types.defaults["xml"] = "application/xml";
    const auto declare = [&types](const std::string& part, const std::string& type) {
        if (!type.empty() && types.TypeOf(part) != type) {
            types.overrides[part] = type;
        }
    };

    ZipWriter out(target, ZipWriter::Compression::Fast);
    std::vector<std::pair<std::string, std::string>> written;  // part, data
    for (const std::string& entry : zip.EntryNames()) {
        if (entry == "[Content_Types].xml" || entry.ends_with("/") ||
            plan.renamed.contains(entry) || plan.dropped.contains(entry)) {
            continue;
        }
        std::string owner;
        if (package::OwnerOfRelationships(entry, owner)) {
            if (!owner.empty() && (plan.dropped.contains(owner) || !zip.Has(owner))) {
                continue;
            }
            const auto renamed = plan.renamed.find(owner);
            const std::string newOwner = renamed == plan.renamed.end() ? owner : renamed->second;
            const std::vector<Relationship> relationships =
                owner == plan.workbook
                    ? workbookRels
                    : Rewritten(ParseRelationships(Read(zip, entry)), owner, plan);
            written.emplace_back(newOwner.empty() ? entry : package::RelationshipsPartOf(newOwner),
                                 WriteRelationships(relationships));
            continue;
        }
        std::string type = sourceTypes.TypeOf(entry);
        if (entry == vbaPart) {
            type = kVbaType;
        }
        declare(entry, type);
        try {
            out.CopyFrom(zip, entry);
        } catch (const package::PackageError& error) {
            throw XlsbError(error.what());
        }
    }
    if (!zip.Has(package::RelationshipsPartOf(plan.workbook)) && !workbookRels.empty()) {
        written.emplace_back(package::RelationshipsPartOf(plan.renamed.at(plan.workbook)),
                             WriteRelationships(workbookRels));
    }
    declare(plan.renamed.at(plan.workbook), kWorkbookType);
    out.Add(plan.renamed.at(plan.workbook), workbookRecords);
    for (std::size_t i = 0; i < plan.sheetParts.size(); ++i) {
        const std::string& part = plan.renamed.at(plan.sheetParts[i]);
        declare(part, kSheetType);
        out.AddFile(part, sheetFiles[i]);
    }
    // Readers need a style table even when the package had none.
    const std::string stylesPart = plan.styles.empty()
                                       ? package::ResolvePartTarget(plan.workbook, "styles.bin")
                                       : plan.renamed.at(plan.styles);
    declare(stylesPart, kStylesType);
    out.Add(stylesPart, styles.Records());
    if (strings) {
        declare(plan.renamed.at(plan.strings), kStringsType);
        out.Add(plan.renamed.at(plan.strings), std::move(strings->records));
    }
    for (auto& [part, records] : comments) {
        declare(part, kCommentsType);
        out.Add(part, std::move(records));
    }
    for (auto& [part, records] : plan.externalLinks) {
        declare(part, kExternalLinkType);
        out.Add(part, std::move(records));
    }
    for (auto& [part, data] : written) {
        out.Add(part, std::move(data));
    }
    out.Add("[Content_Types].xml", WriteContentTypes(types));
    out.Commit();
    return report;
}

}  // namespace

TranscodeReport TranscodeToXlsb(const std::filesystem::path& package,
                                const std::filesystem::path& target) {
    std::error_code error;
    if (std::filesystem::equivalent(package, target, error)) {
        throw XlsbError("the binary workbook " + target.string() +
                        " would replace the workbook it is made from");
    }
    try {
        return Transcode(package, target);
    } catch (const package::PackageError& failure) {
        throw XlsbError(failure.what());
    }
}

}  // namespace tabrook::calcserver::xlsb
