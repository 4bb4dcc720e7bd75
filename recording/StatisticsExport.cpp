#include "recording/StatisticsExport.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "recording/LocalTime.h"
#include "recording/SampleExport.h"

namespace kws::rec {

namespace {

constexpr const char* kTimePattern = "%d/%m/%Y %H:%M:%S";
constexpr int kFigureDigits = 12;

// Whether the local clock time of t names another instant as well (an hour the autumn change
// repeats).
bool InRepeatedHour(int64_t t) {
    thread_local LocalTimeConverter converter;
    thread_local uint64_t generation = TimeZoneGeneration();
    if (generation != TimeZoneGeneration()) {
        converter = LocalTimeConverter();
        generation = TimeZoneGeneration();
    }
    LocalFields f{};
    if (!LocalFieldsOf(t, f)) return false;
    int64_t back;
    bool repeated = false;
    return converter.ToTime(f.year, f.month, f.day, f.hour, f.minute, f.second, back, nullptr,
                            &repeated) &&
           repeated;
}

bool WriteAll(std::FILE* out, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

}  // namespace

std::string ShortestNumber(double v) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

std::string FigureNumber(double v) {
    if (!std::isfinite(v)) return ShortestNumber(v);
    // The digits kept and the decimal exponent after rounding, then written out without
    // exponent.
    char scientific[48];
    std::snprintf(scientific, sizeof scientific, "%.*e", kFigureDigits - 1, v);
    const char* e = std::strchr(scientific, 'e');
    if (e == nullptr) return ShortestNumber(v);
    const int exponent = std::atoi(e + 1);
    std::string digits;
    for (const char* c = scientific; c < e; ++c) {
        if (*c >= '0' && *c <= '9') digits += *c;
    }
    std::string text = v < 0 ? "-" : "";
    if (exponent >= kFigureDigits - 1) {
        text += digits + std::string(static_cast<size_t>(exponent - (kFigureDigits - 1)), '0');
    } else if (exponent >= 0) {
        text += digits.substr(0, static_cast<size_t>(exponent) + 1) + "." +
                digits.substr(static_cast<size_t>(exponent) + 1);
    } else {
        text += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    return text;
}

std::string FigureTime(int64_t t) {
    std::string text = FormatLocalTime(t, kTimePattern);
    int64_t offset;
    if (text.empty() || !InRepeatedHour(t) || !UtcOffsetAt(t, offset)) return text;
    const int64_t minutes = std::abs(offset) / 60;
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, " %c%02lld:%02lld", offset < 0 ? '-' : '+',
                  static_cast<long long>(minutes / 60), static_cast<long long>(minutes % 60));
    return text + suffix;
}

std::vector<std::pair<std::string, std::string>> StatisticsFields(
    const WindowStatistics& s, const std::vector<std::string>* curveNames) {
    std::vector<std::pair<std::string, std::string>> out = {
        {"recorded_seconds", std::to_string(s.recordedSeconds)},
        {"gaps", std::to_string(s.gaps)},
        {"missing_seconds", std::to_string(s.missingSeconds)},
        {"hot_water_litres", FigureNumber(s.hotWaterLitres)},
        {"draws", std::to_string(s.draws)},
        {"longest_draw_seconds", std::to_string(s.longestDrawSeconds)},
        {"pump_seconds", std::to_string(s.pumpSeconds)},
        {"pump_starts", std::to_string(s.pumpStarts)}};
    if (s.hasCirculation) {
        out.emplace_back("circulation_seconds", std::to_string(s.circulationSeconds));
        out.emplace_back("circulation_starts", std::to_string(s.circulationStarts));
    }
    for (size_t i = 0; i < s.curves.size(); ++i) {
        const CurveStatistics& c = s.curves[i];
        const std::string key = "curve" + std::to_string(i) + ".";
        const bool any = c.count > 0;
        if (curveNames != nullptr) {
            out.emplace_back(key + "name",
                             i < curveNames->size() ? (*curveNames)[i] : std::string());
        }
        out.emplace_back(key + "min", any ? FigureNumber(c.min) : std::string());
        out.emplace_back(key + "min_time", any ? FigureTime(c.minTime) : std::string());
        out.emplace_back(key + "max", any ? FigureNumber(c.max) : std::string());
        out.emplace_back(key + "max_time", any ? FigureTime(c.maxTime) : std::string());
        out.emplace_back(key + "mean", any ? FigureNumber(c.mean) : std::string());
    }
    return out;
}

std::string StatisticsLines(const WindowStatistics& s, const std::vector<std::string>& curveNames) {
    std::string out;
    for (const auto& [key, value] : StatisticsFields(s, &curveNames)) {
        out += key;
        out += '=';
        out += value;
        out += '\n';
    }
    return out;
}

bool WriteDrawsTsv(std::FILE* out, const std::vector<DrawEvent>& draws) {
    std::string text = "start\tseconds\tlitres\tmin_hot_water_temp\tmean_hot_water_temp\n";
    for (const DrawEvent& d : draws) {
        text += FigureTime(d.start);
        text += '\t';
        text += std::to_string(d.seconds);
        text += '\t';
        text += FigureNumber(d.litres);
        text += '\t';
        text += FigureNumber(d.minTemperature);
        text += '\t';
        text += FigureNumber(d.meanTemperature);
        text += '\n';
        if (text.size() >= (1 << 16)) {
            if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) return false;
            text.clear();
        }
    }
    return WriteAll(out, text);
}

std::string DailyTsv(const std::vector<DayStatistics>& days, int layoutFlag) {
    // The keys of the layout: those of an empty window of it.
    WindowStatistics keys;
    keys.hasCirculation = layoutFlag != kThreeCurveLayout;
    keys.curves.resize(CurveNameIds(layoutFlag).size());
    std::string text = "date";
    for (const auto& field : StatisticsFields(keys, nullptr)) {
        text += '\t';
        text += field.first;
    }
    text += '\n';
    for (const DayStatistics& day : days) {
        char date[32];
        std::snprintf(date, sizeof date, "%02d/%02d/%04lld", day.day, day.month,
                      static_cast<long long>(day.year));
        text += date;
        for (const auto& field : StatisticsFields(day.figures, nullptr)) {
            text += '\t';
            text += field.second;
        }
        text += '\n';
    }
    return text;
}

bool WriteDailyTsv(std::FILE* out, const std::vector<DayStatistics>& days, int layoutFlag) {
    return WriteAll(out, DailyTsv(days, layoutFlag));
}

}  // namespace kws::rec
