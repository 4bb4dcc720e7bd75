#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "graph/LinearMap.h"
#include "graph/Ruler.h"
#include "graph/TimeTicks.h"
#include "tests/recording/TestSupport.h"

namespace {
std::vector<double> Values(double w0, double w1, int n) {
    return LinearMap(0, 100, w0, w1).ComputeTicks(n).values;
}

// An instant as the local clock shows it, through the C library: "29/03 03:00:00 CEST".
std::string Clock(int64_t t) {
    const time_t tt = static_cast<time_t>(t);
    struct tm tm;
    localtime_r(&tt, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%d/%m %H:%M:%S %Z", &tm);
    return buf;
}

}  // namespace

TEST(OrderOfMagnitude, Examples) {
    const std::pair<double, int> cases[] = {{250, 2}, {1, 0},    {0.5, -1},    {0.05, -2},
                                            {0, 0},   {-250, 2}, {1e300, 300}, {1e-300, -301}};
    for (auto [x, e] : cases) EXPECT_EQ(OrderOfMagnitude(x), e) << x;
}

TEST(NiceStep, SmallestOneTwoFiveNotBelowTheQuotient) {
    const struct {
        double w0, w1;
        int n;
        double step;
    } cases[] = {{0, 1, 10, 0.1},   {0, 1, 0, 0.1}, {0, 1.5, 10, 0.2},
                 {0, 2.5, 10, 0.5}, {0, 10, 10, 1}, {0, 31, 10, 5},
                 {0, 51, 10, 10},   {40, 0, 2, 20}};  // reversed ends: the distance counts
    for (const auto& c : cases) EXPECT_EQ(NiceStep(c.w0, c.w1, c.n), c.step) << c.w1 << " " << c.n;
}

TEST(ComputeTicks, ExamplesOfTheTickRules) {
    TickSet t = LinearMap(0, 100, 0, 250).ComputeTicks(10);
    EXPECT_EQ(t.exponent, 2);
    EXPECT_EQ(t.step, 0.5);
    EXPECT_EQ(t.values, (std::vector<double>{0, 50, 100, 150, 200, 250}));
    EXPECT_EQ(t.pixels[1], 20.0);

    t = LinearMap(0, 100, 0, 1).ComputeTicks(3);
    EXPECT_EQ(t.exponent, 0);
    EXPECT_EQ(t.step, 0.5);
    EXPECT_EQ(t.values, (std::vector<double>{0, 0.5, 1}));

    // The step in double precision: 1 itself is the eleventh tick.
    t = LinearMap(0, 100, 0, 1).ComputeTicks(10);
    EXPECT_EQ(t.step, 0.1);
    ASSERT_EQ(t.Count(), 11);
    EXPECT_NEAR(t.values[9], 0.9, 1e-12);
    EXPECT_NEAR(t.values[10], 1.0, 1e-12);
    EXPECT_EQ(LinearMap(0, 100, 0, 100).ComputeTicks(5).values,
              (std::vector<double>{0, 20, 40, 60, 80, 100}));

    // The value ruler's example: 0 .. 0.5 with five labels, e = -1, step 1.
    t = LinearMap(0, 100, 0, 0.5).ComputeTicks(5);
    EXPECT_EQ(t.exponent, -1);
    EXPECT_EQ(t.step, 1.0);
    ASSERT_EQ(t.Count(), 6);
    EXPECT_DOUBLE_EQ(t.values[5], 0.5);
}

TEST(ComputeTicks, ReversedNegativeEqualTinyAndHugeRanges) {
    // Reversed: the ticks walk downward from the start.
    EXPECT_EQ(Values(250, 0, 10), (std::vector<double>{250, 200, 150, 100, 50, 0}));
    EXPECT_EQ(Values(-250, 0, 10), (std::vector<double>{-250, -200, -150, -100, -50, 0}));
    EXPECT_EQ(Values(-10, 10, 4), (std::vector<double>{-10, -5, 0, 5, 10}));
    // Equal ends: n ticks, all at the first pixel.
    TickSet t = LinearMap(7, 100, 3, 3).ComputeTicks(4);
    EXPECT_EQ(t.Count(), 4);
    EXPECT_EQ(t.pixels[3], 7.0);
    EXPECT_EQ(t.step, 0.0);
    // A narrow range far from zero lowers the exponent until the ends are apart.
    t = LinearMap(0, 100, 100.0, 100.5).ComputeTicks(5);
    ASSERT_GT(t.Count(), 2);
    for (double v : t.values) {
        EXPECT_GE(v, 100.0);
        EXPECT_LE(v, 100.5);
    }
    // Tiny and huge magnitudes stay inside their range and keep their order.
    for (auto [a, b] : {std::pair{1e-12, 5e-12}, std::pair{3e15, 9e15}, std::pair{-7e-9, -1e-9}}) {
        t = LinearMap(0, 100, a, b).ComputeTicks(5);
        ASSERT_GT(t.Count(), 1) << a;
        for (int i = 0; i < t.Count(); ++i) {
            const double v = t.values[static_cast<size_t>(i)];
            EXPECT_GE(v, a - std::abs(a) * 1e-9);
            EXPECT_LE(v, b + std::abs(b) * 1e-9);
            if (i > 0) {
                EXPECT_GT(v, t.values[static_cast<size_t>(i - 1)]);
            }
        }
    }
    EXPECT_EQ(LinearMap(0, 100, 0, 1).ComputeTicks(0).Count(), 11);  // n = 0 takes the step 0.1
    EXPECT_TRUE(LinearMap(0, 100, 0, 1e308 * 10).ComputeTicks(5).values.empty());  // infinity
}

TEST(ComputeTicks, NarrowRangesFarFromZeroGetTicks) {
    // 1000 .. 1000.5: exponent 0, step 0.1, the ticks 1000, 1000.1, ..., 1000.5 (both ends).
    TickSet t = LinearMap(0, 100, 1000, 1000.5).ComputeTicks(5);
    EXPECT_EQ(t.exponent, 0);
    EXPECT_EQ(t.step, 0.1);
    ASSERT_EQ(t.Count(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(t.values[static_cast<size_t>(i)], 1000 + 0.1 * i, 1e-9);
    EXPECT_NEAR(t.pixels[1], 20, 1e-6);
    // Reversed and negative the same.
    EXPECT_EQ(LinearMap(0, 100, 1000.5, 1000).ComputeTicks(5).Count(), 6);
    EXPECT_EQ(LinearMap(0, 100, -1000.5, -1000).ComputeTicks(5).Count(), 6);
    t = LinearMap(0, 100, 123456.25, 123456.75).ComputeTicks(5);
    ASSERT_GE(t.Count(), 4);
    EXPECT_NEAR(t.values[0], 123456.3, 1e-2);
    // Where the first pass already found ticks they stay: 100 .. 100.15 for two intervals
    // stops at exponent 0 (100 is not below 100) with the ticks 1000 and 1001 times the step.
    t = LinearMap(0, 100, 100, 100.15).ComputeTicks(2);
    EXPECT_EQ(t.exponent, 0);
    ASSERT_EQ(t.Count(), 2);
    EXPECT_NEAR(t.values[0], 100.0, 1e-12);
    EXPECT_NEAR(t.values[1], 100.1, 1e-12);
}

TEST(ComputeTicks, TheValueAxisGetsThreeTicksWhereTheFirstPassLeavesFewer) {
    // 55 .. 55.012 for ten intervals: the exponent stops at -1 (550 is not below 100), where the
    // scaled ends 550 .. 550.12 hold two multiples of the step 0.1: 550 and 550.1.
    EXPECT_EQ(LinearMap(0, 100, 55, 55.012).ComputeTicks(10).Count(), 2);
    // The value axis asks for three: one decade lower the ends are 5500 .. 5501.2, the step 0.2
    // (the smallest 1-2-5 step not below 1.2 / 10), and the ticks 5500, 5500.2, ..., 5501.2
    // (both ends). As values: 55 + 0.002 i.
    const TickSet t = ValueAxisTicks(55, 55.012, 600, 10);
    EXPECT_EQ(t.exponent, -2);
    ASSERT_EQ(t.Count(), 7);
    for (int i = 0; i < t.Count(); ++i)
        EXPECT_NEAR(t.values[static_cast<size_t>(i)], 55 + 0.002 * i, 1e-12) << i;
    // Where the first pass gives three ticks or more, the value axis keeps them.
    EXPECT_EQ(ValueAxisTicks(1000, 1000.5, 600, 5).Count(), 6);
    EXPECT_EQ(ValueAxisTicks(1000, 1000.5, 600, 5).exponent, 0);
}

TEST(TickLabels, DecimalsFollowTheStepAndZeroHasNoSign) {
    const double f01 = static_cast<double>(0.1f), f02 = static_cast<double>(0.2f);
    const std::pair<double, int> decimals[] = {
        {f01, 1},  {f02, 1},   {0.1, 1}, {1.0 * 0.1, 1}, {0.5, 1}, {0.05, 2},      {f02 * 0.1, 2},
        {0.01, 2}, {0.005, 3}, {1, 0},   {2, 0},         {50, 0},  {f01 * 100, 0},  // 10.000000149
        {0, 0}};
    for (auto [step, n] : decimals) EXPECT_EQ(TickDecimals(step), n) << step;
    EXPECT_EQ(TickLabelText(20.1000000015, 1), "20.1");
    EXPECT_EQ(TickLabelText(0.05000000075, 2), "0.05");
    EXPECT_EQ(TickLabelText(-1e-17, 1), "0.0");
    EXPECT_EQ(TickLabelText(-0.04, 1), "0.0");
    EXPECT_EQ(TickLabelText(-0.4, 0), "0");
    EXPECT_EQ(TickLabelText(-0.5, 1), "-0.5");
    EXPECT_EQ(TickLabelText(-10, 0), "-10");
    EXPECT_EQ(TickLabelText(250, 0), "250");
}

TEST(LinearMap, ConversionsBothWaysAndDegenerateRanges) {
    const LinearMap m(0, 200, 10, 20);
    const LinearMap y(100, 0, 0, 10);     // bottom to top
    const LinearMap equal(0, 100, 5, 5);  // no scale: everything in the middle
    const LinearMap none(4, 4, 0, 10);    // no pixels
    // 10.04 and 9.96 land on 0: truncated toward zero.
    const struct {
        const LinearMap& map;
        double world;
        int64_t pixel;
    } toPixel[] = {{m, 15, 100}, {m, 10.04, 0},  {m, 9.96, 0},     {m, 9.5, -10}, {y, 10, 0},
                   {y, 0, 100},  {equal, 5, 50}, {equal, 1e9, 50}, {none, 7, 4}};
    for (const auto& c : toPixel) EXPECT_EQ(c.map.WorldToPixel(c.world), c.pixel) << c.world;
    EXPECT_EQ(m.PixelToWorld(100), 15);
    EXPECT_EQ(equal.PixelToWorld(33), 5);
    EXPECT_EQ(m.WorldToPixel(1e300), LinearMap::kPixelLimit);
    EXPECT_EQ(m.WorldToPixel(std::nan("")), -LinearMap::kPixelLimit);
}

TEST(ValueAxis, RowsAreTruncatedFromThePlotsTopAndSurviveHugeAndTinySpans) {
    auto rows = [](double low, double high, int height, int n) {
        return ValueAxisTicks(low, high, height, n).pixels;
    };
    // 0 .. 100 in four intervals takes the step 50: rows 400 - 4 x value.
    EXPECT_EQ(rows(0, 100, 400, 4), (std::vector<double>{400, 200, 0}));
    // 401 high: 50 lies at 200.5, truncated to 200.
    EXPECT_EQ(rows(0, 100, 401, 4), (std::vector<double>{401, 200, 0}));
    // Reversed: 100 at the bottom, the ticks running from it.
    const TickSet reversed = ValueAxisTicks(100, 0, 400, 4);
    EXPECT_EQ(reversed.values, (std::vector<double>{100, 50, 0}));
    EXPECT_EQ(reversed.pixels, (std::vector<double>{400, 200, 0}));
    EXPECT_EQ(ValueAxisRow(20, 20.5, 333, 20.25), 166);  // 333 - 166.5
    // A span wider than the largest double: -1e308 .. 1e308 by halves of 1e308.
    const TickSet wide = ValueAxisTicks(-1e308, 1e308, 400, 4);
    EXPECT_EQ(wide.pixels, (std::vector<double>{400, 300, 200, 100, 0}));
    ASSERT_EQ(wide.Count(), 5);
    EXPECT_DOUBLE_EQ(wide.values[1], -5e307);
    EXPECT_EQ(ValueAxisRow(-1.5e308, 1.5e308, 300, 0), 150);
    // Denormal magnitudes get ticks inside the view, at finite rows.
    const TickSet tiny = ValueAxisTicks(0, 1e-320, 400, 5);
    ASSERT_GE(tiny.Count(), 3);
    for (int i = 0; i < tiny.Count(); ++i) {
        EXPECT_GE(tiny.values[static_cast<size_t>(i)], 0.0);
        EXPECT_LE(tiny.values[static_cast<size_t>(i)], 1.0001e-320);
        EXPECT_GE(tiny.pixels[static_cast<size_t>(i)], 0.0);
        EXPECT_LE(tiny.pixels[static_cast<size_t>(i)], 400.0);
    }
    EXPECT_EQ(TimesPowerOfTen(3, -320), 3e-320);
    EXPECT_EQ(TimesPowerOfTen(2, 2), 200);
}

TEST(ValueLabels, HugeAndTinyMagnitudesTakeAPowerOfTen) {
    auto texts = [](std::vector<double> values, double step, int exponent) {
        TickSet t;
        t.values = std::move(values);
        t.step = step;
        t.exponent = exponent;
        return ValueLabelTexts(t).join(' ').toStdString();
    };
    // Everyday steps keep fixed decimals.
    EXPECT_EQ(texts({0, 50, 100}, 0.5, 2), "0 50 100");
    EXPECT_EQ(texts({1000.1, 1000.2}, static_cast<double>(0.1f), 0), "1000.1 1000.2");
    EXPECT_EQ(texts({99.995, 100}, 0.5, -2), "99.995 100.000");
    EXPECT_EQ(texts({0, 5e10, 1e11}, 0.5, 11), "0 50000000000 100000000000");
    // Fifteen digits and more: mantissa with the digits of the step, and a power of ten.
    EXPECT_EQ(texts({0, 2e14, 1e15}, 0.2, 15), "0 2e14 1.0e15");
    EXPECT_EQ(texts({-1e308, -5e307, 0}, 0.5, 308), "-1.0e308 -5e307 0");
    EXPECT_EQ(texts({1.1e300, 1.15e300}, 0.05, 300), "1.10e300 1.15e300");
    // More than a dozen decimals likewise.
    EXPECT_EQ(texts({0, 2e-301, 1e-300}, 0.2, -300), "0 2e-301 1.0e-300");
    EXPECT_EQ(texts({1e-13, 2e-13}, 1, -13), "1e-13 2e-13");
}

TEST(RoundTimes, StandAtRoundLocalClockTimesThroughClockChanges) {
    using kws::test::MkTime;
    using kws::test::Utc;
    struct Case {
        const char* zone;
        int64_t from, to;  // built in the zone below
        TimeStep step;
        const char* ticks;  // joined by ", "
    };
    const TimeStep s15{TimeStep::kSeconds, 15}, m5{TimeStep::kSeconds, 300};
    const TimeStep h1{TimeStep::kSeconds, 3600}, h3{TimeStep::kSeconds, 10800};
    const TimeStep d1{TimeStep::kDays, 1}, w1{TimeStep::kDays, 7};
    const TimeStep mo1{TimeStep::kMonths, 1}, mo3{TimeStep::kMonths, 3};
    // Berlin: 29/03/2009 has 23 hours (02:00 CET is 03:00 CEST, at 01:00 UTC), 25/10/2009 has
    // 25 (03:00 CEST is 02:00 CET again, at 01:00 UTC). Kolkata is 5:30 ahead of UTC.
    const Case cases[] = {
        {"Europe/Berlin", Utc(2009, 5, 4, 8, 0, 7), Utc(2009, 5, 4, 8, 1, 2), s15,
         "04/05 10:00:15 CEST, 04/05 10:00:30 CEST, 04/05 10:00:45 CEST, 04/05 10:01:00 CEST"},
        {"Europe/Berlin", Utc(2009, 5, 4, 8, 0, 0), Utc(2009, 5, 4, 8, 12, 0), m5,
         "04/05 10:00:00 CEST, 04/05 10:05:00 CEST, 04/05 10:10:00 CEST"},
        // The 23-hour day: no 02:00, the next day still starts at 00:00.
        {"Europe/Berlin", Utc(2009, 3, 28, 23, 0, 0), Utc(2009, 3, 29, 22, 0, 0), h3,
         "29/03 00:00:00 CET, 29/03 03:00:00 CEST, 29/03 06:00:00 CEST, 29/03 09:00:00 CEST, "
         "29/03 12:00:00 CEST, 29/03 15:00:00 CEST, 29/03 18:00:00 CEST, 29/03 21:00:00 CEST, "
         "30/03 00:00:00 CEST"},
        {"Europe/Berlin", Utc(2009, 3, 29, 0, 0, 0), Utc(2009, 3, 29, 2, 0, 0), h1,
         "29/03 01:00:00 CET, 29/03 03:00:00 CEST, 29/03 04:00:00 CEST"},
        // The 25-hour day: 02:00 twice, the next day starts at 00:00.
        {"Europe/Berlin", Utc(2009, 10, 24, 23, 0, 0), Utc(2009, 10, 25, 3, 0, 0), h1,
         "25/10 01:00:00 CEST, 25/10 02:00:00 CEST, 25/10 02:00:00 CET, 25/10 03:00:00 CET, "
         "25/10 04:00:00 CET"},
        {"Europe/Berlin", Utc(2009, 10, 24, 22, 0, 0), Utc(2009, 10, 25, 23, 0, 0), h3,
         "25/10 00:00:00 CEST, 25/10 03:00:00 CET, 25/10 06:00:00 CET, 25/10 09:00:00 CET, "
         "25/10 12:00:00 CET, 25/10 15:00:00 CET, 25/10 18:00:00 CET, 25/10 21:00:00 CET, "
         "26/10 00:00:00 CET"},
        {"Europe/Berlin", Utc(2009, 3, 27, 12, 0, 0), Utc(2009, 3, 31, 0, 0, 0), d1,
         "28/03 00:00:00 CET, 29/03 00:00:00 CET, 30/03 00:00:00 CEST, 31/03 00:00:00 CEST"},
        // Weeks start on Mondays.
        {"Europe/Berlin", Utc(2009, 3, 1, 0, 0, 0), Utc(2009, 4, 10, 0, 0, 0), w1,
         "02/03 00:00:00 CET, 09/03 00:00:00 CET, 16/03 00:00:00 CET, 23/03 00:00:00 CET, "
         "30/03 00:00:00 CEST, 06/04 00:00:00 CEST"},
        {"Europe/Berlin", Utc(2009, 1, 15, 0, 0, 0), Utc(2009, 5, 20, 0, 0, 0), mo1,
         "01/02 00:00:00 CET, 01/03 00:00:00 CET, 01/04 00:00:00 CEST, 01/05 00:00:00 CEST"},
        {"Europe/Berlin", Utc(2008, 11, 15, 0, 0, 0), Utc(2009, 12, 20, 0, 0, 0), mo3,
         "01/01 00:00:00 CET, 01/04 00:00:00 CEST, 01/07 00:00:00 CEST, 01/10 00:00:00 CEST"},
        // Round hours of the local clock, half an hour off UTC's.
        {"Asia/Kolkata", Utc(2009, 5, 4, 4, 0, 0), Utc(2009, 5, 4, 7, 0, 0), h1,
         "04/05 10:00:00 IST, 04/05 11:00:00 IST, 04/05 12:00:00 IST"},
    };
    for (const Case& c : cases) {
        kws::test::ScopedTimeZone zone(c.zone);
        std::string ticks;
        for (int64_t t : RoundTimes(c.from, c.to, c.step, 100))
            ticks += (ticks.empty() ? "" : ", ") + Clock(t);
        EXPECT_EQ(ticks, c.ticks) << c.zone << " " << Clock(c.from) << " step " << c.step.count;
    }
    // Both ends count, and the limit holds.
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    const int64_t t = MkTime(2009, 5, 4, 10, 0, 0);
    EXPECT_EQ(RoundTimes(t, t + 600, m5, 100), (std::vector<int64_t>{t, t + 300, t + 600}));
    EXPECT_EQ(RoundTimes(t, t + 600, m5, 2).size(), 2u);
    EXPECT_TRUE(RoundTimes(t + 1, t + 299, m5, 100).empty());
}
