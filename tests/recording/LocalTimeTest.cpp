#include <gtest/gtest.h>

#include <random>

#include "recording/LineOps.h"
#include "recording/LocalTime.h"
#include "recording/SampleExport.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;
using kws::test::MkTime;
using kws::test::ScopedTimeZone;

namespace {

// Every second of a local day through the converter, against mktime. In the repeated hour of the
// autumn change both readings are right; the converter promises the earlier one.
void CheckWholeDay(int year, int month, int day) {
    LocalTimeConverter converter;
    for (int s = 0; s < 86400; ++s) {
        const int h = s / 3600, m = s / 60 % 60, sec = s % 60;
        int64_t t = 0;
        ASSERT_TRUE(converter.ToTime(year, month, day, h, m, sec, t));
        const int64_t reference = MkTime(year, month, day, h, m, sec);
        if (t != reference) {
            // Only the repeated hour may differ, and then by the zone's daylight-saving shift
            // with the converter on the earlier instant.
            LocalFields a{}, b{};
            ASSERT_TRUE(LocalFieldsOf(t, a));
            ASSERT_TRUE(LocalFieldsOf(reference, b));
            ASSERT_EQ(reference - t, 3600)
                << year << "-" << month << "-" << day << " " << h << ":" << m << ":" << sec;
            ASSERT_EQ(a.hour, b.hour);
            ASSERT_EQ(a.minute, b.minute);
        }
    }
}

}  // namespace

TEST(LocalTimeConverter, EqualsMktimeOverTransitionDaysInBerlin) {
    ScopedTimeZone zone("Europe/Berlin");
    CheckWholeDay(2009, 3, 29);   // spring forward: 02:00-02:59 does not exist
    CheckWholeDay(2009, 10, 25);  // fall back: 02:00-02:59 twice
    CheckWholeDay(2024, 3, 31);
    CheckWholeDay(2024, 10, 27);
    CheckWholeDay(2009, 6, 15);
}

TEST(LocalTimeConverter, EqualsMktimeOverTransitionDaysInNewYork) {
    ScopedTimeZone zone("America/New_York");
    CheckWholeDay(2009, 3, 8);
    CheckWholeDay(2009, 11, 1);
    CheckWholeDay(2021, 3, 14);
    CheckWholeDay(2021, 11, 7);
}

TEST(LocalTimeConverter, NormalisesOutOfRangeFieldsLikeMktime) {
    ScopedTimeZone zone("Europe/Berlin");
    std::mt19937 random(11);
    LocalTimeConverter converter;
    for (int i = 0; i < 100000; ++i) {
        const int year = 1971 + static_cast<int>(random() % 66);
        const int month = -14 + static_cast<int>(random() % 40);
        const int day = -40 + static_cast<int>(random() % 80);
        const int hour = -30 + static_cast<int>(random() % 60);
        const int minute = -70 + static_cast<int>(random() % 140);
        const int second = -70 + static_cast<int>(random() % 140);
        int64_t t = 0;
        ASSERT_TRUE(converter.ToTime(year, month, day, hour, minute, second, t));
        const int64_t reference = MkTime(year, month, day, hour, minute, second);
        if (t != reference) {
            ASSERT_EQ(reference - t, 3600);  // a repeated hour
        }
    }
    int64_t t = 0;
    ASSERT_TRUE(converter.ToTime(2009, 4, 31, 10, 0, 0, t));
    EXPECT_EQ(t, MkTime(2009, 5, 1, 10, 0, 0));
    EXPECT_FALSE(converter.ToTime(5000000, 1, 1, 0, 0, 0, t));
}

TEST(LocalTimeFormatter, EqualsLocaltimeAroundTransitions) {
    for (const char* name : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe"}) {
        ScopedTimeZone zone(name);
        LocalTimeFormatter formatter;
        const int64_t base = MkTime(2021, 1, 1, 0, 0, 0);
        for (int64_t t = base; t < base + 366 * 86400; t += 97) {
            LocalFields a{}, b{};
            ASSERT_TRUE(formatter.ToFields(t, a));
            ASSERT_TRUE(LocalFieldsOf(t, b));
            ASSERT_EQ(a.year, b.year);
            ASSERT_EQ(a.month, b.month);
            ASSERT_EQ(a.day, b.day);
            ASSERT_EQ(a.hour, b.hour) << name << " " << t;
            ASSERT_EQ(a.minute, b.minute) << name << " " << t;
            ASSERT_EQ(a.second, b.second);
            ASSERT_EQ(a.weekday, b.weekday);
        }
    }
}

TEST(TimeText, FormatsAndParsesLocalTimes) {
    ScopedTimeZone zone("Europe/Berlin");
    const int64_t t = MkTime(2008, 6, 3, 9, 5, 7);
    EXPECT_EQ(FormatLocalTime(t, "%d/%m/%Y, %H:%M:%S"), "03/06/2008, 09:05:07");
    EXPECT_EQ(FormatLocalTime(t, "%H:%Mh"), "09:05h");
    EXPECT_EQ(FormatLocalTime(t, "100%%"), "100%");
    int64_t parsed = 0;
    ASSERT_TRUE(ParseLocalDateTime("03/06/2008 09:05:07", parsed));
    EXPECT_EQ(parsed, t);
    ASSERT_TRUE(ParseLocalDateTime("03.06.2008 09:05", parsed));
    EXPECT_EQ(parsed, t - 7);
    EXPECT_FALSE(ParseLocalDateTime("2008-06-03 09:05:07", parsed));
    EXPECT_FALSE(ParseLocalDateTime("03/06/2008 25:05:07", parsed));
    EXPECT_FALSE(ParseLocalDateTime("03/06/2008 09:05:07 extra", parsed));
}

// The per-thread caches behind the free functions must not keep an old zone's offsets.
TEST(TimeText, FollowsAChangeOfTimeZone) {
    const char* line = "03.06.08\t09:05:07\t1";
    int64_t berlin = 0, tokyo = 0;
    {
        ScopedTimeZone zone("Europe/Berlin");
        ASSERT_TRUE(ParseTimeStamp(line, berlin));
        EXPECT_EQ(FormatLocalTime(berlin, "%H:%M"), "09:05");
    }
    {
        ScopedTimeZone zone("Asia/Tokyo");
        ASSERT_TRUE(ParseTimeStamp(line, tokyo));
        EXPECT_EQ(tokyo, MkTime(2008, 6, 3, 9, 5, 7));
        EXPECT_EQ(FormatLocalTime(berlin, "%H:%M"), "16:05");
    }
    EXPECT_EQ(berlin - tokyo, 7 * 3600);
}

// Times whose clock reading happens twice (the hour repeated when the clocks go back) carry the
// zone's abbreviation; all others stay as they were. Instants written in UTC, by hand.
TEST(TimeText, TheRepeatedAutumnHourIsMarkedWithTheZone) {
    struct Case {
        const char* zone;
        int64_t utc;
        const char* marked;
    };
    const Case cases[] = {
        // Berlin, 25/10/2009: 02:00-02:59 CEST (00:00-00:59 UTC), then again as CET.
        {"Europe/Berlin", kws::test::Utc(2009, 10, 24, 23, 59, 59), "25/10/2009 01:59:59"},
        {"Europe/Berlin", kws::test::Utc(2009, 10, 25, 0, 0, 0), "25/10/2009 02:00:00 CEST"},
        {"Europe/Berlin", kws::test::Utc(2009, 10, 25, 0, 59, 59), "25/10/2009 02:59:59 CEST"},
        {"Europe/Berlin", kws::test::Utc(2009, 10, 25, 1, 0, 38), "25/10/2009 02:00:38 CET"},
        {"Europe/Berlin", kws::test::Utc(2009, 10, 25, 2, 0, 0), "25/10/2009 03:00:00"},
        // The spring change repeats nothing.
        {"Europe/Berlin", kws::test::Utc(2009, 3, 29, 1, 0, 0), "29/03/2009 03:00:00"},
        {"Europe/Berlin", kws::test::Utc(2009, 7, 1, 0, 30, 0), "01/07/2009 02:30:00"},
        // New York, 01/11/2009: 01:00-01:59 EDT (05:00-05:59 UTC), then again as EST.
        {"America/New_York", kws::test::Utc(2009, 11, 1, 5, 30, 0), "01/11/2009 01:30:00 EDT"},
        {"America/New_York", kws::test::Utc(2009, 11, 1, 6, 30, 0), "01/11/2009 01:30:00 EST"},
        {"America/New_York", kws::test::Utc(2009, 11, 1, 7, 0, 0), "01/11/2009 02:00:00"},
        {"UTC", kws::test::Utc(2009, 10, 25, 0, 30, 0), "25/10/2009 00:30:00"},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(FormatLocalTimeMarked(c.utc, "%d/%m/%Y %H:%M:%S"), c.marked) << c.zone;
    }
}
