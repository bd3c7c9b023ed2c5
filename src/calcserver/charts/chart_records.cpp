#include "calcserver/charts/chart_records.h"

#include <algorithm>
#include <cstdio>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/record_cursor.h"
#include "calcserver/biff/record_ids.h"

namespace tabrook::calcserver::charts {
namespace {

using biff::BiffError;
using biff::FieldReader;
using Bytes = std::span<const std::uint8_t>;
namespace rid = biff::record_id;

constexpr std::uint16_t kBegin = 0x1033;
constexpr std::uint16_t kEnd = 0x1034;
constexpr std::uint16_t kSeries = 0x1003;
constexpr std::uint16_t kDataFormat = 0x1006;
constexpr std::uint16_t kLineFormat = 0x1007;
constexpr std::uint16_t kAreaFormat = 0x100A;
constexpr std::uint16_t kSeriesText = 0x100D;
constexpr std::uint16_t kChartFormat = 0x1014;
constexpr std::uint16_t kLegend = 0x1015;
constexpr std::uint16_t kBar = 0x1017;
constexpr std::uint16_t kLine = 0x1018;
constexpr std::uint16_t kPie = 0x1019;
constexpr std::uint16_t kArea = 0x101A;
constexpr std::uint16_t kScatter = 0x101B;
constexpr std::uint16_t kText = 0x1025;
constexpr std::uint16_t kObjectLink = 0x1027;
constexpr std::uint16_t kBopPop = 0x1035;
constexpr std::uint16_t kChart3d = 0x103A;
constexpr std::uint16_t kRadar = 0x103E;
constexpr std::uint16_t kSurface = 0x103F;
constexpr std::uint16_t kRadarArea = 0x1040;
constexpr std::uint16_t kAxisParent = 0x1041;
constexpr std::uint16_t kSerToCrt = 0x1045;
constexpr std::uint16_t kSerParent = 0x104A;
constexpr std::uint16_t kSerAuxTrend = 0x104B;
constexpr std::uint16_t kSerAuxErrBar = 0x105B;
constexpr std::uint16_t kAi = 0x1051;
constexpr std::uint16_t kSiIndex = 0x1065;

// AI record: what the reference is for, and how it is given.
constexpr std::uint8_t kAiName = 0;
constexpr std::uint8_t kAiValues = 1;
constexpr std::uint8_t kAiCategories = 2;
constexpr std::uint8_t kAiIsReference = 2;
// OBJECTLINK: what a text belongs to.
constexpr std::uint16_t kLinkTitle = 1;
constexpr std::uint16_t kLinkValueAxis = 2;
constexpr std::uint16_t kLinkCategoryAxis = 3;
// SIINDEX: which cached cells follow.
constexpr std::uint16_t kCacheValues = 1;
constexpr std::uint16_t kCacheCategories = 2;
// DATAFORMAT of a whole series rather than one point.
constexpr std::uint16_t kAllPoints = 0xFFFF;
constexpr std::uint16_t kNoLine = 5;

struct RawSeries {
    ChartSeries series;
    bool auxiliary = false;  // a trend line or error bars, not a series of its own
    std::size_t plotOrder = 0;
};

struct PendingText {
    ChartTitle title;
    std::uint16_t link = 0;
};

struct Context {
    std::uint16_t opener = 0;
};

class ChartReader {
  public:
    Chart Read(Bytes substream) {
        biff::RecordCursor cursor(substream);
        biff::Record record;
        int substreams = 0;
        std::uint16_t previous = 0;
        while (cursor.Next(record)) {
            if (record.id == rid::kBof) {
                ++substreams;
            } else if (record.id == rid::kEof) {
                if (--substreams <= 0) {
                    break;
                }
            } else if (record.id == kBegin) {
                if (contexts_.size() >= static_cast<std::size_t>(kMaxChartNesting)) {
                    throw BiffError("chart records nest too deeply");
                }
                contexts_.push_back(Context{previous});
            } else if (record.id == kEnd) {
                if (!contexts_.empty()) {
                    Close(contexts_.back());
                    contexts_.pop_back();
                }
            } else {
                Handle(record);
            }
            previous = record.id;
        }
        // The chart draws its series in their plot order, which the user may have changed.
        std::stable_sort(series_.begin(), series_.end(),
                         [](const auto& a, const auto& b) { return a.plotOrder < b.plotOrder; });
        for (RawSeries& raw : series_) {
            if (!raw.auxiliary) {
                // A series names its group by the group's drawing-order number.
                const auto group =
                    std::find(groupNumbers_.begin(), groupNumbers_.end(), raw.series.group);
                raw.series.group =
                    group == groupNumbers_.end() ? 0 : std::distance(groupNumbers_.begin(), group);
                chart_.series.push_back(std::move(raw.series));
            }
        }
        return std::move(chart_);
    }

  private:
    bool Inside(std::uint16_t opener) const {
        return !contexts_.empty() && contexts_.back().opener == opener;
    }
    bool InSeries() const { return Inside(kSeries) && !series_.empty(); }

    void Handle(const biff::Record& record) {
        FieldReader reader(record.data);
        switch (record.id) {
            case kSeries:
                if (series_.size() < kMaxSeries) {
                    series_.emplace_back();
                    series_.back().plotOrder = series_.size() - 1;
                    series_.back().series.textCategories = reader.U16() == 3;
                } else if (!tooManySeries_) {
                    tooManySeries_ = true;
                    chart_.notes.push_back("series past the " + std::to_string(kMaxSeries) +
                                           "th are left out");
                }
                break;
            case kSerToCrt:
                if (InSeries()) {
                    series_.back().series.group = reader.U16();
                }
                break;
            case kSerParent:
            case kSerAuxTrend:
            case kSerAuxErrBar:
                if (InSeries()) {
                    series_.back().auxiliary = true;
                }
                break;
            case kAi:
                ReadReference(reader);
                break;
            case kSeriesText: {
                reader.Skip(2);
                const std::uint8_t count = reader.U8();
                const bool highByte = (reader.U8() & 0x01) != 0;
                std::string text = reader.Chars(count, highByte);
                if (text_) {
                    text_->title.text = std::move(text);
                } else if (InSeries()) {
                    series_.back().series.name = std::move(text);
                }
                break;
            }
            case kText:
                text_.emplace();
                break;
            case kObjectLink:
                if (text_) {
                    text_->link = reader.U16();
                }
                break;
            case kAxisParent:
                secondaryAxes_ = reader.U16() == 1;
                break;
            case kChartFormat: {
                reader.Skip(16);
                ChartGroup group;
                group.varyColors = (reader.U16() & 0x0001) != 0;
                group.secondaryAxes = secondaryAxes_;
                chart_.groups.push_back(group);
                groupNumbers_.push_back(reader.U16());
                break;
            }
            case kLegend:
                if (!chart_.legend) {
                    reader.Skip(16);
                    chart_.legend = LegendOf(reader.U8());
                }
                break;
            case kDataFormat:
                wholeSeriesFormat_ = InSeries() && reader.U16() == kAllPoints;
                if (wholeSeriesFormat_) {
                    reader.Skip(2);
                    series_.back().plotOrder = reader.U16();
                }
                break;
            case kLineFormat:
            case kAreaFormat:
                ReadSeriesFormat(record.id, reader);
                break;
            case kSiIndex:
                cache_ = reader.U16();
                break;
            case rid::kNumber:
            case rid::kLabel:
                ReadCachedCell(record.id, reader);
                break;
            default:
                ReadChartType(record.id, reader);
                break;
        }
    }

    void ReadReference(FieldReader& reader) {
        const std::uint8_t id = reader.U8();
        const std::uint8_t kind = reader.U8();
        reader.Skip(4);
        const std::uint16_t size = reader.U16();
        ChartReference reference;
        if (kind == kAiIsReference) {
            const Bytes tokens = reader.Bytes(size);
            reference.formula.assign(tokens.begin(), tokens.end());
        }
        if (text_) {
            text_->title.reference = std::move(reference);
            return;
        }
        if (!InSeries()) {
            return;
        }
        ChartSeries& series = series_.back().series;
        if (id == kAiName) {
            series.nameReference = std::move(reference);
        } else if (id == kAiValues) {
            series.values = std::move(reference);
        } else if (id == kAiCategories) {
            series.categories = std::move(reference);
        }
    }

    // The colours of a whole series: the format records inside its DATAFORMAT block.
    void ReadSeriesFormat(std::uint16_t id, FieldReader& reader) {
        const std::size_t depth = contexts_.size();
        if (!wholeSeriesFormat_ || depth < 2 || contexts_[depth - 1].opener != kDataFormat ||
            contexts_[depth - 2].opener != kSeries || series_.empty()) {
            return;
        }
        ChartSeries& series = series_.back().series;
        const std::uint32_t color = Rgb(reader.Bytes(4));
        if (id == kLineFormat) {
            const std::uint16_t pattern = reader.U16();
            reader.Skip(2);
            const bool automatic = (reader.U16() & 0x0001) != 0;
            series.noLine = pattern == kNoLine;
            if (!automatic && !series.noLine) {
                series.lineColor = color;
            }
        } else {
            reader.Skip(6);
            if ((reader.U16() & 0x0001) == 0) {
                series.fillColor = color;
            }
        }
    }

    static std::uint32_t Rgb(Bytes bytes) {
        return (std::uint32_t{bytes[0]} << 16) | (std::uint32_t{bytes[1]} << 8) | bytes[2];
    }

    void ReadCachedCell(std::uint16_t id, FieldReader& reader) {
        const std::uint16_t row = reader.U16();
        const std::uint16_t column = reader.U16();
        reader.Skip(2);
        if (column >= series_.size() || row >= kMaxPoints || cachedCells_ >= kMaxCachedCells) {
            return;
        }
        ChartSeries& series = series_[column].series;
        if (cache_ == kCacheValues && id == rid::kNumber) {
            if (series.cachedValues.size() <= row) {
                cachedCells_ += row + 1 - series.cachedValues.size();
                series.cachedValues.resize(row + 1);
            }
            series.cachedValues[row] = reader.F64();
        } else if (cache_ == kCacheCategories) {
            std::string text;
            if (id == rid::kNumber) {
                char number[32];
                std::snprintf(number, sizeof number, "%.15g", reader.F64());
                text = number;
            } else {
                const std::uint16_t count = reader.U16();
                const bool highByte = (reader.U8() & 0x01) != 0;
                text = reader.Chars(count, highByte);
            }
            if (series.cachedCategories.size() <= row) {
                cachedCells_ += row + 1 - series.cachedCategories.size();
                series.cachedCategories.resize(row + 1);
            }
            series.cachedCategories[row] = std::move(text);
        }
    }

    // A chart type record inside its chart group.
    void ReadChartType(std::uint16_t id, FieldReader& reader) {
        if (chart_.groups.empty()) {
            return;
        }
        ChartGroup& group = chart_.groups.back();
        switch (id) {
            case kBar: {
                group.overlap = static_cast<std::int16_t>(reader.U16());
                group.gapWidth = reader.U16();
                const std::uint16_t flags = reader.U16();
                group.kind = (flags & 0x0001) != 0 ? ChartKind::Bar : ChartKind::Column;
                group.grouping = GroupingOf((flags & 0x0002) != 0, (flags & 0x0004) != 0);
                break;
            }
            case kLine:
            case kArea: {
                const std::uint16_t flags = reader.U16();
                group.kind = id == kLine ? ChartKind::Line : ChartKind::Area;
                group.grouping = GroupingOf((flags & 0x0001) != 0, (flags & 0x0002) != 0);
                break;
            }
            case kPie: {
                group.firstSliceAngle = reader.U16() % 361;
                const std::uint16_t hole = reader.U16();
                group.kind = hole == 0 ? ChartKind::Pie : ChartKind::Doughnut;
                if (hole != 0) {
                    group.holeSize = std::clamp<int>(hole, 10, 90);
                }
                break;
            }
            case kScatter: {
                reader.Skip(4);
                const bool bubbles = (reader.U16() & 0x0001) != 0;
                group.kind = bubbles ? ChartKind::Unsupported : ChartKind::Scatter;
                group.kindName = bubbles ? "bubble" : "";
                break;
            }
            case kRadar:
            case kRadarArea:
                group.kind = ChartKind::Unsupported;
                group.kindName = id == kRadar ? "radar" : "filled radar";
                break;
            case kSurface:
                group.kind = ChartKind::Unsupported;
                group.kindName = "surface";
                break;
            case kBopPop:
                group.kind = ChartKind::Unsupported;
                group.kindName = reader.U8() == 2 ? "bar of pie" : "pie of pie";
                break;
            case kChart3d:
                group.kindName = "3-D";
                chart_.notes.push_back("its 3-D view is drawn flat");
                break;
            default:
                break;
        }
    }

    void Close(const Context& context) {
        if (context.opener != kText || !text_) {
            return;
        }
        PendingText text = std::move(*text_);
        text_.reset();
        if (text.link == kLinkTitle) {
            chart_.title = std::move(text.title);
        } else if (text.link == kLinkValueAxis) {
            chart_.valueAxisTitle = std::move(text.title);
        } else if (text.link == kLinkCategoryAxis) {
            chart_.categoryAxisTitle = std::move(text.title);
        }
    }

    static Grouping GroupingOf(bool stacked, bool percent) {
        return percent   ? Grouping::PercentStacked
               : stacked ? Grouping::Stacked
                         : Grouping::Standard;
    }

    static LegendPosition LegendOf(std::uint8_t type) {
        switch (type) {
            case 0:
                return LegendPosition::Bottom;
            case 1:
                return LegendPosition::Corner;
            case 2:
                return LegendPosition::Top;
            case 4:
                return LegendPosition::Left;
            default:
                return LegendPosition::Right;
        }
    }

    Chart chart_;
    std::vector<RawSeries> series_;
    std::vector<std::uint16_t> groupNumbers_;  // each group's drawing-order number
    std::vector<Context> contexts_;
    std::optional<PendingText> text_;
    bool secondaryAxes_ = false;
    bool tooManySeries_ = false;
    bool wholeSeriesFormat_ = false;
    std::uint16_t cache_ = 0;
    std::size_t cachedCells_ = 0;
};

const char* PlainKindName(ChartKind kind) {
    switch (kind) {
        case ChartKind::Column:
            return "column";
        case ChartKind::Bar:
            return "bar";
        case ChartKind::Line:
            return "line";
        case ChartKind::Pie:
            return "pie";
        case ChartKind::Doughnut:
            return "doughnut";
        case ChartKind::Area:
            return "area";
        case ChartKind::Scatter:
            return "scatter";
        case ChartKind::Unsupported:
            break;
    }
    return "unknown";
}

}  // namespace

Chart ReadChart(std::span<const std::uint8_t> substream) {
    return ChartReader().Read(substream);
}

std::string KindName(const Chart& chart) {
    if (chart.groups.empty()) {
        return "empty";
    }
    const ChartGroup& group = chart.groups.front();
    if (group.kind == ChartKind::Unsupported) {
        return group.kindName.empty() ? "unknown" : group.kindName;
    }
    const std::string plain = PlainKindName(group.kind);
    return group.kindName.empty() ? plain : group.kindName + " " + plain;
}

bool Writable(const Chart& chart) {
    if (chart.groups.empty()) {
        return false;
    }
    for (const ChartGroup& group : chart.groups) {
        if (group.kind == ChartKind::Unsupported) {
            return false;
        }
    }
    return true;
}

}  // namespace tabrook::calcserver::charts
