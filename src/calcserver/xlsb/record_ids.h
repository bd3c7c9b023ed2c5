#pragma once
// Record type numbers of the binary workbook format that this writer emits.

#include <cstdint>

namespace tabrook::calcserver::xlsb::rec {

// Cells.
inline constexpr std::uint16_t kRowHdr = 0x0000;
inline constexpr std::uint16_t kCellBlank = 0x0001;
inline constexpr std::uint16_t kCellRk = 0x0002;
inline constexpr std::uint16_t kCellError = 0x0003;
inline constexpr std::uint16_t kCellBool = 0x0004;
inline constexpr std::uint16_t kCellReal = 0x0005;
inline constexpr std::uint16_t kCellSt = 0x0006;
inline constexpr std::uint16_t kCellIsst = 0x0007;
inline constexpr std::uint16_t kFmlaString = 0x0008;
inline constexpr std::uint16_t kFmlaNum = 0x0009;
inline constexpr std::uint16_t kFmlaBool = 0x000A;
inline constexpr std::uint16_t kFmlaError = 0x000B;
inline constexpr std::uint16_t kArrFmla = 0x01AA;

// Shared strings.
inline constexpr std::uint16_t kSstItem = 0x0013;
inline constexpr std::uint16_t kBeginSst = 0x009F;
inline constexpr std::uint16_t kEndSst = 0x00A0;

// Workbook.
inline constexpr std::uint16_t kName = 0x0027;
inline constexpr std::uint16_t kFileVersion = 0x0080;
inline constexpr std::uint16_t kBeginBook = 0x0083;
inline constexpr std::uint16_t kEndBook = 0x0084;
inline constexpr std::uint16_t kBeginBookViews = 0x0087;
inline constexpr std::uint16_t kEndBookViews = 0x0088;
inline constexpr std::uint16_t kBeginBundleShs = 0x008F;
inline constexpr std::uint16_t kEndBundleShs = 0x0090;
inline constexpr std::uint16_t kWbProp = 0x0099;
inline constexpr std::uint16_t kBundleSh = 0x009C;
inline constexpr std::uint16_t kCalcProp = 0x009D;
inline constexpr std::uint16_t kBookView = 0x009E;
inline constexpr std::uint16_t kBeginExternals = 0x0161;
inline constexpr std::uint16_t kEndExternals = 0x0162;
inline constexpr std::uint16_t kSupBookSrc = 0x0163;
inline constexpr std::uint16_t kSupSelf = 0x0165;
inline constexpr std::uint16_t kExternSheet = 0x016A;

// Worksheet.
inline constexpr std::uint16_t kBeginSheet = 0x0081;
inline constexpr std::uint16_t kEndSheet = 0x0082;
inline constexpr std::uint16_t kBeginWsViews = 0x0085;
inline constexpr std::uint16_t kEndWsViews = 0x0086;
inline constexpr std::uint16_t kBeginWsView = 0x0089;
inline constexpr std::uint16_t kEndWsView = 0x008A;
inline constexpr std::uint16_t kBeginSheetData = 0x0091;
inline constexpr std::uint16_t kEndSheetData = 0x0092;
inline constexpr std::uint16_t kWsProp = 0x0093;
inline constexpr std::uint16_t kWsDim = 0x0094;
inline constexpr std::uint16_t kPane = 0x0097;
inline constexpr std::uint16_t kMergeCell = 0x00B0;
inline constexpr std::uint16_t kBeginMergeCells = 0x00B1;
inline constexpr std::uint16_t kEndMergeCells = 0x00B2;
inline constexpr std::uint16_t kColInfo = 0x003C;
inline constexpr std::uint16_t kBeginColInfos = 0x0186;
inline constexpr std::uint16_t kEndColInfos = 0x0187;
inline constexpr std::uint16_t kWsFmtInfo = 0x01E5;
inline constexpr std::uint16_t kHLink = 0x01EE;
inline constexpr std::uint16_t kDrawing = 0x0226;
inline constexpr std::uint16_t kLegacyDrawing = 0x0227;
inline constexpr std::uint16_t kBeginOleObjects = 0x027E;
inline constexpr std::uint16_t kOleObject = 0x027F;
inline constexpr std::uint16_t kEndOleObjects = 0x0280;
inline constexpr std::uint16_t kBeginActiveXControls = 0x0283;
inline constexpr std::uint16_t kActiveX = 0x0284;
inline constexpr std::uint16_t kEndActiveXControls = 0x0285;

// Autofilter, conditional formats and data validations of a sheet.
inline constexpr std::uint16_t kDVal = 0x0040;
inline constexpr std::uint16_t kBeginAFilter = 0x00A1;
inline constexpr std::uint16_t kEndAFilter = 0x00A2;
inline constexpr std::uint16_t kBeginFilterColumn = 0x00A3;
inline constexpr std::uint16_t kEndFilterColumn = 0x00A4;
inline constexpr std::uint16_t kBeginFilters = 0x00A5;
inline constexpr std::uint16_t kEndFilters = 0x00A6;
inline constexpr std::uint16_t kFilter = 0x00A7;
inline constexpr std::uint16_t kBeginCustomFilters = 0x00AC;
inline constexpr std::uint16_t kEndCustomFilters = 0x00AD;
inline constexpr std::uint16_t kCustomFilter = 0x00AE;
inline constexpr std::uint16_t kBeginConditionalFormatting = 0x01CD;
inline constexpr std::uint16_t kEndConditionalFormatting = 0x01CE;
inline constexpr std::uint16_t kBeginCFRule = 0x01CF;
inline constexpr std::uint16_t kEndCFRule = 0x01D0;
inline constexpr std::uint16_t kBeginDVals = 0x023D;
inline constexpr std::uint16_t kEndDVals = 0x023E;

// Styles.
inline constexpr std::uint16_t kFont = 0x002B;
inline constexpr std::uint16_t kFmt = 0x002C;
inline constexpr std::uint16_t kFill = 0x002D;
inline constexpr std::uint16_t kBorder = 0x002E;
inline constexpr std::uint16_t kXf = 0x002F;
inline constexpr std::uint16_t kStyle = 0x0030;
inline constexpr std::uint16_t kBeginStyleSheet = 0x0116;
inline constexpr std::uint16_t kEndStyleSheet = 0x0117;
inline constexpr std::uint16_t kBeginFills = 0x025B;
inline constexpr std::uint16_t kEndFills = 0x025C;
inline constexpr std::uint16_t kBeginFonts = 0x0263;
inline constexpr std::uint16_t kEndFonts = 0x0264;
inline constexpr std::uint16_t kBeginBorders = 0x0265;
inline constexpr std::uint16_t kEndBorders = 0x0266;
inline constexpr std::uint16_t kBeginFmts = 0x0267;
inline constexpr std::uint16_t kEndFmts = 0x0268;
inline constexpr std::uint16_t kBeginCellXfs = 0x0269;
inline constexpr std::uint16_t kEndCellXfs = 0x026A;
inline constexpr std::uint16_t kBeginStyles = 0x026B;
inline constexpr std::uint16_t kEndStyles = 0x026C;
inline constexpr std::uint16_t kBeginCellStyleXfs = 0x0272;
inline constexpr std::uint16_t kEndCellStyleXfs = 0x0273;
inline constexpr std::uint16_t kBeginDxfs = 0x01F9;
inline constexpr std::uint16_t kEndDxfs = 0x01FA;
inline constexpr std::uint16_t kDxf = 0x01FB;

// Comments.
inline constexpr std::uint16_t kBeginComments = 0x0274;
inline constexpr std::uint16_t kEndComments = 0x0275;
inline constexpr std::uint16_t kBeginCommentAuthors = 0x0276;
inline constexpr std::uint16_t kEndCommentAuthors = 0x0277;
inline constexpr std::uint16_t kCommentAuthor = 0x0278;
inline constexpr std::uint16_t kBeginCommentList = 0x0279;
inline constexpr std::uint16_t kEndCommentList = 0x027A;
inline constexpr std::uint16_t kBeginComment = 0x027B;
inline constexpr std::uint16_t kEndComment = 0x027C;
inline constexpr std::uint16_t kCommentText = 0x027D;

// External links.
inline constexpr std::uint16_t kSupTabs = 0x0167;
inline constexpr std::uint16_t kBeginSupBook = 0x0168;
inline constexpr std::uint16_t kEndSupBook = 0x0169;
inline constexpr std::uint16_t kExternTableStart = 0x016B;
inline constexpr std::uint16_t kExternTableEnd = 0x016C;
inline constexpr std::uint16_t kExternRowHdr = 0x016E;
inline constexpr std::uint16_t kExternCellBlank = 0x016F;
inline constexpr std::uint16_t kExternCellReal = 0x0170;
inline constexpr std::uint16_t kExternCellBool = 0x0171;
inline constexpr std::uint16_t kExternCellError = 0x0172;
inline constexpr std::uint16_t kExternCellString = 0x0173;

// Page layout and protection of a sheet.
inline constexpr std::uint16_t kMargins = 0x01DC;
inline constexpr std::uint16_t kPrintOptions = 0x01DD;
inline constexpr std::uint16_t kPageSetup = 0x01DE;
inline constexpr std::uint16_t kHeaderFooter = 0x01DF;
inline constexpr std::uint16_t kSheetProtection = 0x0217;

}  // namespace tabrook::calcserver::xlsb::rec
