#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "recording/LineOps.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;
using kws::test::MkTime;
using kws::test::ScopedTimeZone;

TEST(IsDataLine, RecognisesDateAndTimeStarts) {
    EXPECT_TRUE(IsDataLine("12.03.09\t14:22:05\t1\t2"));
    EXPECT_TRUE(IsDataLine("12/03/09"));
    EXPECT_TRUE(IsDataLine("12:00"));     // two digits, then ':' in the third position
    EXPECT_TRUE(IsDataLine("123.4.09"));  // sixth character is '.'
    EXPECT_FALSE(IsDataLine("1.3.09"));   // second character not a digit
    EXPECT_FALSE(IsDataLine("12"));
    EXPECT_FALSE(IsDataLine(""));
    EXPECT_FALSE(IsDataLine("Datum\tZeit"));
    EXPECT_TRUE(IsDataLine("12345/"));  // separator in the sixth position
    EXPECT_FALSE(IsDataLine("12345x"));
}

TEST(CheckColumnCount, TabsSelectTheLayout) {
    auto line = [](int tabs, bool trailingTab = false) {
        std::string s = "12.03.09";
        for (int i = 0; i < tabs; ++i) s += "\t1";
        if (trailingTab) s += "\t";
        return s;
    };
    int flag = 7;
    EXPECT_TRUE(CheckColumnCount(line(13), flag));
    EXPECT_EQ(flag, 1);
    EXPECT_TRUE(CheckColumnCount(line(14), flag));
    EXPECT_EQ(flag, 0);
    flag = 7;
    EXPECT_FALSE(CheckColumnCount(line(12), flag));
    EXPECT_FALSE(CheckColumnCount(line(15), flag));
    EXPECT_EQ(flag, 7);
    // The last character is not counted: 13 tabs plus a trailing one still read as 13.
    EXPECT_TRUE(CheckColumnCount(line(13, true), flag));
    EXPECT_EQ(flag, 1);
    EXPECT_TRUE(CheckColumnCount("", flag));
    EXPECT_EQ(flag, 1);
    EXPECT_FALSE(CheckColumnCount("12.03.09,14:22:05,1,2,3,4,5,6,7,8,9,10,11,12,13", flag));
}

TEST(ParseTimeStamp, ReadsDateAndTimeAsLocalTime) {
    ScopedTimeZone berlin("Europe/Berlin");
    int64_t t = 0;
    ASSERT_TRUE(ParseTimeStamp("12.03.09\t14:22:05\t1\t2", t));
    EXPECT_EQ(t, MkTime(2009, 3, 12, 14, 22, 5));
    ASSERT_TRUE(ParseTimeStamp("12/03/09\t14:22:05\t", t));
    EXPECT_EQ(t, MkTime(2009, 3, 12, 14, 22, 5));
    ASSERT_TRUE(ParseTimeStamp("12.03.2009\t14:22:05\t", t));
    EXPECT_EQ(t, MkTime(2009, 3, 12, 14, 22, 5));
    // Year fields: up to 1000 counted from 2000, larger ones used as they stand.
    ASSERT_TRUE(ParseTimeStamp("12.03.1000\t14:22:05\t", t));
    EXPECT_EQ(t, MkTime(3000, 3, 12, 14, 22, 5));
    ASSERT_TRUE(ParseTimeStamp("12.03.1001\t14:22:05\t", t));
    EXPECT_EQ(t, MkTime(1001, 3, 12, 14, 22, 5));
    // The calendar normalises: 31 April is 1 May, hour 24 is midnight of the next day.
    ASSERT_TRUE(ParseTimeStamp("31.04.09\t10:00:00\t", t));
    EXPECT_EQ(t, MkTime(2009, 5, 1, 10, 0, 0));
    ASSERT_TRUE(ParseTimeStamp("12.03.09\t24:00:00\t", t));
    EXPECT_EQ(t, MkTime(2009, 3, 13, 0, 0, 0));
    // Missing fields keep their defaults; the seconds need the separator after them.
    ASSERT_TRUE(ParseTimeStamp("", t));
    EXPECT_EQ(t, MkTime(2000, 1, 1, 1, 1, 0));
    ASSERT_TRUE(ParseTimeStamp("12.03.09\t14:22:05", t));
    EXPECT_EQ(t, MkTime(2009, 3, 12, 14, 22, 0));
    ASSERT_TRUE(ParseTimeStamp(" 5.+3.09\t 7:-1:00\t", t));  // atoi-like fields
    EXPECT_EQ(t, MkTime(2009, 3, 5, 7, -1, 0));
}

TEST(ParseTimeStamp, RejectsOutOfRangeFieldsAndLeavesTheOutputAlone) {
    int64_t t = 42;
    for (const char* bad : {"32.03.09\t10:00:00\t", "12.13.09\t10:00:00\t", "12.03.09\t25:00:00\t",
                            "12.03.09\t10:60:00\t", "12.03.09\t10:00:60\t", "00.03.09\t10:00:00\t",
                            "12.00.09\t10:00:00\t", "12.03.-2000\t10:00:00\t",
                            "12.03.99999999999999999\t10:00:00\t"}) {
        EXPECT_FALSE(ParseTimeStamp(bad, t)) << bad;
        EXPECT_EQ(t, 42) << bad;
    }
}

TEST(ParseTimeStamp, FastAndGeneralPathsAgree) {
    // A zone without daylight saving: the calendar itself is checked elsewhere.
    ScopedTimeZone zone("Asia/Kolkata");
    std::mt19937 random(7);
    const char seps[] = {'.', '/', ':', '\t', ' ', 'x', '0'};
    for (int i = 0; i < 20000; ++i) {
        // Lines of the usual shape with some characters swapped for others.
        char line[40];
        std::snprintf(line, sizeof line, "%02u.%02u.%02u\t%02u:%02u:%02u\t1\t2",
                      unsigned(random() % 34), unsigned(random() % 14), unsigned(random() % 100),
                      unsigned(random() % 26), unsigned(random() % 61), unsigned(random() % 61));
        std::string s = line;
        if (random() % 3 == 0) s[random() % 18] = seps[random() % sizeof seps];
        int64_t fast = 0, slow = 0;
        LocalTimeConverter converter;
        const bool a = ParseTimeStamp(s, fast, converter);
        // Reference: the same walk done by hand with atoi and mktime.
        int f[6] = {1, 1, 0, 1, 1, 0};
        bool yearSet = false;
        std::string token;
        int field = 0;
        for (char c : s) {
            if (c == '.' || c == '\t' || c == ':' || c == '/') {
                f[field] = std::atoi(token.c_str());
                if (field == 2) yearSet = true;
                token.clear();
                if (++field == 6) break;
            } else {
                token += c;
            }
        }
        int year = 2000 + (yearSet ? f[2] : 0);
        const bool ok = f[0] <= 31 && f[1] <= 12 && f[3] <= 24 && f[4] <= 59 && f[5] <= 59 &&
                        f[0] != 0 && f[1] != 0 && year != 0;
        if (year > 3000) year -= 2000;
        ASSERT_EQ(a, ok) << s;
        if (ok) {
            slow = MkTime(year, f[1], f[0], f[3], f[4], f[5]);
            ASSERT_EQ(fast, slow) << s;
        }
    }
}

TEST(GetColumnValue, ReadsTenthsAndMissingColumns) {
    const std::string line = "12.03.09\t14:22:05\t215\t-3\t\t1.5\t2e1\t abc\t 7\t+4";
    EXPECT_DOUBLE_EQ(GetColumnValue(line, 0), 215 * 0.1);
    EXPECT_EQ(GetColumnValue(line, 0), 215 * 0.1);  // exactly the product
    EXPECT_EQ(GetColumnValue(line, 1), -3 * 0.1);
    EXPECT_EQ(GetColumnValue(line, 2), -25.0);  // an empty field reads like a missing column
    EXPECT_EQ(GetColumnValue(line, 3), 1.5 * 0.1);
    EXPECT_EQ(GetColumnValue(line, 4), 20 * 0.1);
    EXPECT_EQ(GetColumnValue(line, 5), 0.0);  // no number at its start
    EXPECT_EQ(GetColumnValue(line, 6), 7 * 0.1);
    EXPECT_EQ(GetColumnValue(line, 7), 4 * 0.1);
    EXPECT_EQ(GetColumnValue(line, 8), -25.0);                         // missing column
    EXPECT_EQ(GetColumnValue("12.03.09\t14:22:05\t215\t", 1), -25.0);  // empty last field
    EXPECT_EQ(GetColumnValue("12.03.09", 0), -25.0);
}

TEST(ParseDecimal, MatchesTheCLibraryOnDecimalForms) {
    std::mt19937 random(3);
    const char alphabet[] = "0123456789.eE+- x";
    for (int i = 0; i < 50000; ++i) {
        std::string s;
        const int n = 1 + static_cast<int>(random() % 12);
        for (int k = 0; k < n; ++k) s += alphabet[random() % (sizeof alphabet - 1)];
        if (s.find_first_of("xX") != std::string::npos) continue;
        // strtod also knows hexadecimal, inf and nan; none of these can be formed here.
        const double expected = std::strtod(s.c_str(), nullptr);
        const double got = ParseDecimal(s);
        if (std::isnan(expected)) continue;
        ASSERT_EQ(got, expected) << '"' << s << '"';
    }
    EXPECT_EQ(ParseDecimal("1e999"), HUGE_VAL);
    EXPECT_EQ(ParseDecimal("-1e999"), -HUGE_VAL);
    EXPECT_EQ(ParseDecimal("1e-999"), 0.0);
    EXPECT_EQ(ParseDecimal("123456789012345678901234"), 123456789012345678901234.0);
}

TEST(ParseDecimal, NumbersBeyondTheRangeOfADoubleReadAsStrtodReadsThem) {
    // The reference is the C library's strtod in the "C" locale, in which tests run.
    auto expectLikeStrtod = [](const std::string& s) {
        const double expected = std::strtod(s.c_str(), nullptr);
        const double got = ParseDecimal(s);
        EXPECT_EQ(got, expected) << s.substr(0, 60) << "... (" << s.size() << " characters)";
        EXPECT_EQ(std::signbit(got), std::signbit(expected)) << s.substr(0, 60);
    };
    const std::string zeros330(330, '0'), zeros320(320, '0'), zeros400(400, '0');
    std::string digits400 = "7";
    for (int i = 1; i < 400; ++i) digits400 += static_cast<char>('0' + (i * 7) % 10);
    // 400 digits: infinity; 0.(330 zeros)1: zero; 0.(320 zeros)1: a subnormal.
    EXPECT_EQ(ParseDecimal(digits400), HUGE_VAL);
    EXPECT_EQ(ParseDecimal("-" + digits400), -HUGE_VAL);
    EXPECT_EQ(ParseDecimal("0." + zeros330 + "1"), 0.0);
    EXPECT_FALSE(std::signbit(ParseDecimal("0." + zeros330 + "1")));
    EXPECT_TRUE(std::signbit(ParseDecimal("-0." + zeros330 + "1")));
    EXPECT_GT(ParseDecimal("0." + zeros320 + "1"), 0.0);
    for (const std::string& s :
         {digits400, "-" + digits400, "0." + zeros330 + "1", "-0." + zeros330 + "1",
          "0." + zeros320 + "1", "0." + zeros320 + "123456789", digits400 + ".5",
          // Near the largest double and beyond.
          std::string("1.7976931348623157e308"), std::string("1.7976931348623158e308"),
          std::string("1.7976931348623159e308"), std::string("2e308"), std::string("1e309"),
          std::string("-1e309"), std::string("99999e304"),
          // Near the smallest normal and subnormal doubles and below.
          std::string("2.2250738585072014e-308"), std::string("2.2250738585072011e-308"),
          std::string("1e-310"), std::string("4.9406564584124654e-324"),
          std::string("2.4703282292062328e-324"), std::string("2.4703282292062327e-324"),
          std::string("3e-324"), std::string("1e-324"), std::string("-1e-324"),
          std::string("1e-400"), std::string("0.0001e-320"),
          // Long mantissas with exponents that bring them back into range, and out again.
          "1" + zeros400 + "e-400", "0." + zeros400 + "5e401", "123" + zeros400 + "e-350",
          "123" + zeros400 + "e-60", "0." + zeros400 + "123e100", "0." + zeros400 + "1e-5",
          digits400 + "e-399", digits400 + "e-100", digits400 + "e-700", "0." + zeros330 + "1e331",
          "0." + zeros330 + "1e10",
          // A zero with any exponent stays zero.
          std::string("0e99999"), "0." + zeros400 + "e-99999", std::string("-0e400")}) {
        expectLikeStrtod(s);
    }
    // Random long forms around the limits.
    std::mt19937 random(8);
    for (int i = 0; i < 3000; ++i) {
        std::string s = random() % 4 == 0 ? "-" : "";
        const int whole = static_cast<int>(random() % 40),
                  fraction = static_cast<int>(random() % 400);
        for (int k = 0; k < whole; ++k) s += static_cast<char>('0' + random() % 10);
        if (fraction > 0 || whole == 0) {
            s += '.';
            const int leading = static_cast<int>(random() % 360);
            for (int k = 0; k < fraction; ++k)
                s += k < leading ? '0' : static_cast<char>('0' + random() % 10);
            if (whole == 0 && fraction == 0) s += '1';
        }
        if (random() % 3 != 0) {
            s += 'e' + std::to_string(static_cast<int>(random() % 1300) - 650);
        }
        expectLikeStrtod(s);
    }
}
