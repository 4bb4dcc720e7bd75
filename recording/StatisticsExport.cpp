#include "recording/StatisticsExport.h"

#include <charconv>

#include "recording/SampleExport.h"

namespace kws::rec {

namespace {

constexpr const char* kTimePattern = "%d/%m/%Y %H:%M:%S";

void Line(std::string& out, const std::string& key, const std::string& value) {
    out += key;
    out += '=';
    out += value;
    out += '\n';
}

}  // namespace

std::string ShortestNumber(double v) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

std::string StatisticsLines(const WindowStatistics& s, const std::vector<std::string>& curveNames) {
    std::string out;
    Line(out, "recorded_seconds", std::to_string(s.recordedSeconds));
    Line(out, "gaps", std::to_string(s.gaps));
    Line(out, "missing_seconds", std::to_string(s.missingSeconds));
    Line(out, "hot_water_litres", ShortestNumber(s.hotWaterLitres));
    Line(out, "draws", std::to_string(s.draws));
    Line(out, "longest_draw_seconds", std::to_string(s.longestDrawSeconds));
    Line(out, "pump_seconds", std::to_string(s.pumpSeconds));
    Line(out, "pump_starts", std::to_string(s.pumpStarts));
    if (s.hasCirculation) {
        Line(out, "circulation_seconds", std::to_string(s.circulationSeconds));
        Line(out, "circulation_starts", std::to_string(s.circulationStarts));
    }
    for (size_t i = 0; i < s.curves.size(); ++i) {
        const CurveStatistics& c = s.curves[i];
        const std::string key = "curve" + std::to_string(i) + ".";
        const bool any = c.count > 0;
        Line(out, key + "name", i < curveNames.size() ? curveNames[i] : std::string());
        Line(out, key + "min", any ? ShortestNumber(c.min) : std::string());
        Line(out, key + "min_time", any ? FormatLocalTime(c.minTime, kTimePattern) : std::string());
        Line(out, key + "max", any ? ShortestNumber(c.max) : std::string());
        Line(out, key + "max_time", any ? FormatLocalTime(c.maxTime, kTimePattern) : std::string());
        Line(out, key + "mean", any ? ShortestNumber(c.mean) : std::string());
    }
    return out;
}

bool WriteDrawsTsv(std::FILE* out, const std::vector<DrawEvent>& draws) {
    std::string text = "start\tseconds\tlitres\tmin_hot_water_temp\tmean_hot_water_temp\n";
    for (const DrawEvent& d : draws) {
        text += FormatLocalTime(d.start, kTimePattern);
        text += '\t';
        text += std::to_string(d.seconds);
        text += '\t';
        text += ShortestNumber(d.litres);
        text += '\t';
        text += ShortestNumber(d.minTemperature);
        text += '\t';
        text += ShortestNumber(d.meanTemperature);
        text += '\n';
        if (text.size() >= (1 << 16)) {
            if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) return false;
            text.clear();
        }
    }
    return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

}  // namespace kws::rec
