#include "bench/RecordingGenerator.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

#include "recording/LocalTime.h"

namespace kws::bench {

namespace {

// Small deterministic generator (xorshift) so that recordings repeat exactly for a seed.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    double Uniform() { return (Next() & 0xFFFFFF) / double(0x1000000); }
};

char* Put2(char* p, int v) {
    *p++ = static_cast<char>('0' + v / 10 % 10);
    *p++ = static_cast<char>('0' + v % 10);
    return p;
}

char* PutInt(char* p, long v) {
    char tmp[24];
    int n = 0;
    bool negative = v < 0;
    unsigned long u = negative ? static_cast<unsigned long>(-v) : static_cast<unsigned long>(v);
    do {
        tmp[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (negative) *p++ = '-';
    while (n > 0) *p++ = tmp[--n];
    return p;
}

// The state of the simulated heating: storage tank, hot-water draws and the circulation pump.
struct Plant {
    Random random;
    double storage = 58.0, hotWater = 45.0, circulation = 40.0, flow = 0.0, pump = 0.0;
    int drawLeft = 0;
    int circulationLeft = 0;
    bool circulationOn = false;

    void Step(int64_t t) {
        const double dayPhase = std::fmod(static_cast<double>(t), 86400.0) / 86400.0;
        if (drawLeft == 0 && random.Uniform() < 0.0015)
            drawLeft = 20 + static_cast<int>(random.Next() % 400);
        if (drawLeft > 0) {
            --drawLeft;
            flow += (6.0 + 4.0 * std::sin(dayPhase * 40.0) - flow) * 0.2;
            pump += (70.0 - pump) * 0.1;
            hotWater += (52.0 - hotWater) * 0.05;
            storage -= 0.004;
        } else {
            flow *= 0.7;
            pump *= 0.8;
            hotWater += (38.0 - hotWater) * 0.002;
            storage += (60.0 + 3.0 * std::sin(dayPhase * 6.2832) - storage) * 0.0005;
        }
        if (circulationLeft-- <= 0) {
            circulationOn = !circulationOn;
            circulationLeft = circulationOn ? 300 + static_cast<int>(random.Next() % 300)
                                            : 900 + static_cast<int>(random.Next() % 1800);
        }
        circulation += ((circulationOn ? 47.0 : 30.0) - circulation) * 0.003;
    }
};

}  // namespace

int64_t LocalEpoch(int year, int month, int day, int hour, int minute, int second) {
    rec::LocalTimeConverter converter;
    int64_t t = 0;
    converter.ToTime(year, month, day, hour, minute, second, t);
    return t;
}

GeneratorOptions BenchRecordingOptions(double days) {
    GeneratorOptions g;
    g.layoutFlag = 0;
    g.seconds = static_cast<int64_t>(days * 86400);
    g.gaps = 3;
    g.startTime = LocalEpoch(2009, 3, 1, 0, 0, 0);
    return g;
}

int64_t GenerateRecording(const GeneratorOptions& o, std::FILE* out) {
    const int64_t start = o.startTime != 0 ? o.startTime : LocalEpoch(2008, 6, 3, 10, 0, 0);
    Random random{o.seed * 2654435761u + 12345u};
    Plant plant{Random{o.seed * 40503u + 7u}};

    std::vector<char> buffer(1 << 20);
    char* p = buffer.data();
    auto flush = [&] {
        std::fwrite(buffer.data(), 1, static_cast<size_t>(p - buffer.data()), out);
        p = buffer.data();
    };
    for (int i = 0; i < o.headerLines; ++i) {
        p += std::sprintf(
            p, i == 0 ? "CaloraControl2 Aufzeichnung Sekundentakt\n" : "Datum\tZeit\tKanal %d\n",
            i);
    }

    // Gap positions spread over the recording.
    std::vector<std::pair<int64_t, int64_t>> gaps;
    for (int g = 0; g < o.gaps; ++g) {
        const int64_t at = o.seconds * (g + 1) / (o.gaps + 1);
        gaps.emplace_back(at, 5 + static_cast<int64_t>(random.Next() % 296));
    }
    size_t nextGap = 0;

    rec::LocalTimeFormatter formatter;
    int64_t lines = 0;
    for (int64_t s = 0; s < o.seconds; ++s) {
        const int64_t t = start + s;
        plant.Step(t);
        if (nextGap < gaps.size() && s == gaps[nextGap].first) {
            s += gaps[nextGap].second - 1;
            ++nextGap;
            continue;
        }
        rec::LocalFields f{};
        formatter.ToFields(t, f);
        p = Put2(p, f.day);
        *p++ = '.';
        p = Put2(p, f.month);
        *p++ = '.';
        if (o.fourDigitYear) p = Put2(p, static_cast<int>(f.year / 100));
        p = Put2(p, static_cast<int>(f.year % 100));
        *p++ = '\t';
        p = Put2(p, f.hour);
        *p++ = ':';
        p = Put2(p, f.minute);
        *p++ = ':';
        p = Put2(p, f.second);
        long columns[13];
        const double noise = (random.Uniform() - 0.5) * 0.4;
        if (o.layoutFlag == 1) {
            columns[0] = std::lround((plant.hotWater + noise) * 10);
            for (int c = 1; c < 9; ++c) columns[c] = 100 * c + static_cast<long>(random.Next() % 7);
            columns[9] = std::lround(plant.pump / 0.075);  // speed: column x 0.075 in percent
            columns[10] = std::lround(plant.flow * 10);
            columns[11] = static_cast<long>(s % 2);
        } else {
            columns[0] = std::lround((plant.storage + noise) * 10);
            columns[1] = std::lround((plant.hotWater + noise) * 10);
            columns[2] = std::lround((plant.storage - 8.0) * 10);
            columns[3] = std::lround(plant.circulation * 10);
            columns[4] = std::lround(plant.flow * 10);
            columns[5] = std::lround(plant.pump * 35.0 / 3.0);  // shown as column x 3 / 35
            columns[6] = plant.circulationOn ? 10 : 0;
            for (int c = 7; c < 13; ++c) columns[c] = static_cast<long>(random.Next() % 1000);
        }
        const int count = o.layoutFlag == 1 ? 12 : 13;
        for (int c = 0; c < count; ++c) {
            *p++ = '\t';
            p = PutInt(p, columns[c]);
        }
        if (s + 1 < o.seconds || o.trailingNewline) *p++ = '\n';
        ++lines;
        if (p - buffer.data() > static_cast<long>(buffer.size()) - 512) flush();
    }
    flush();
    return lines;
}

std::string GenerateRecording(const GeneratorOptions& options) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* f = open_memstream(&data, &size);
    GenerateRecording(options, f);
    std::fclose(f);
    std::string text(data, size);
    std::free(data);
    return text;
}

}  // namespace kws::bench
