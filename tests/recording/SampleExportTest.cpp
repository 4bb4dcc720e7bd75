#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <random>
#include <sstream>

#include "recording/SampleExport.h"
#include "recording/StatisticsExport.h"
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

// Figures made from tenths print as the tenths they are: 12 significant digits at most, no
// exponent, no trailing zeros.
TEST(FigureText, NumbersKeepTwelveSignificantDigits) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {36.800000000000004, "36.8"},
        {38926.930000000306, "38926.93"},
        {0.1 + 0.2, "0.3"},
        {-0.30000000000000004, "-0.3"},
        {100.0, "100"},
        {0.0, "0"},
        {-0.0, "0"},
        {1e-5, "0.00001"},
        {2.0 / 3.0, "0.666666666667"},
        {123456789012345.0, "123456789012000"},
        {9999999999.99, "9999999999.99"},
        {99999999999.99, "100000000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(FigureNumber(c.value), c.text) << c.value;
}

// Times of the figures inside the hour the autumn change repeats carry their UTC offset, so that
// the two passes read apart; all other times stay as they were.
TEST(FigureText, TimesInTheRepeatedHourCarryTheirOffset) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    using kws::test::Utc;
    const struct {
        int64_t time;
        const char* text;
    } cases[] = {
        {Utc(2009, 10, 24, 23, 59, 59), "25/10/2009 01:59:59"},
        {Utc(2009, 10, 25, 0, 0, 0), "25/10/2009 02:00:00 +02:00"},
        {Utc(2009, 10, 25, 0, 3, 20), "25/10/2009 02:03:20 +02:00"},
        {Utc(2009, 10, 25, 1, 3, 20), "25/10/2009 02:03:20 +01:00"},
        {Utc(2009, 10, 25, 1, 59, 59), "25/10/2009 02:59:59 +01:00"},
        {Utc(2009, 10, 25, 2, 0, 0), "25/10/2009 03:00:00"},
        {Utc(2009, 3, 29, 1, 0, 0), "29/03/2009 03:00:00"},
        {Utc(2009, 6, 3, 8, 0, 0), "03/06/2009 10:00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(FigureTime(c.time), c.text);
}
