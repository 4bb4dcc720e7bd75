#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <random>
#include <sstream>

#include "recording/SampleExport.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;

TEST(WriteSamplesTsv, WritesHeaderTimesAndShortestValues) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    SampleArray samples;
    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> any(-1e7, 1e7);
    for (int i = 0; i < 5000; ++i) {
        SampleRecord r;
        r.time = kws::test::MkTime(2009, 10, 25, 0, 0, 0) + i * 7;
        for (int k = 0; k < 6; ++k) {
            const int kind = static_cast<int>(random() % 4);
            const double raw = static_cast<double>(static_cast<int>(random() % 40000) - 20000);
            r.value[k] = kind == 0   ? raw * 0.1
                         : kind == 1 ? any(random)
                         : kind == 2 ? raw * 0.1 * 0.25 * 3.0
                                     : -25.0;
        }
        if (i == 1) r.value[0] = -0.0;
        if (i == 2) r.value[0] = 1e-300;
        samples.push_back(r);
    }
    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    ASSERT_TRUE(WriteSamplesTsv(f, samples));
    fclose(f);
    std::istringstream in(std::string(data, size));
    free(data);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "time\tlocal\tv0\tv1\tv2\tv3\tv4\tv5");
    for (const SampleRecord& r : samples) {
        ASSERT_TRUE(std::getline(in, line));
        std::istringstream fields(line);
        std::string t, local, v;
        std::getline(fields, t, '\t');
        std::getline(fields, local, '\t');
        EXPECT_EQ(t, std::to_string(r.time));
        EXPECT_EQ(local, FormatLocalTime(r.time, "%d.%m.%Y %H:%M:%S"));
        for (double value : r.value) {
            std::getline(fields, v, '\t');
            char expected[64];
            *std::to_chars(expected, expected + 64, value).ptr = '\0';
            ASSERT_EQ(v, expected);  // the same text std::to_chars gives
        }
    }
    EXPECT_FALSE(std::getline(in, line));
}
