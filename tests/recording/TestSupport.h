// Helpers shared by the recording tests: time zones, temporary files, local times.
#pragma once

#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "recording/LocalTime.h"

namespace kws::test {

// Sets the process time zone for the lifetime of the object.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
        rec::TimeZoneChanged();
    }
    ~ScopedTimeZone() {
        if (hadOld_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        rec::TimeZoneChanged();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

// A broken-down time of the calendar's numbers (month 1-12).
inline struct tm BrokenDown(int year, int month, int day, int hour, int minute, int second) {
    struct tm tm = {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return tm;
}

// mktime with tm_isdst = -1: the reference for local-time conversions.
inline int64_t MkTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm tm = BrokenDown(year, month, day, hour, minute, second);
    tm.tm_isdst = -1;
    return mktime(&tm);
}

// timegm: a UTC time, independent of the zone.
inline int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
    struct tm tm = BrokenDown(year, month, day, hour, minute, second);
    return timegm(&tm);
}

// A file in a private temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& content, const std::string& name = "recording.txt") {
        char pattern[] = "/tmp/kws_test_XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/" + name;
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() {
        std::remove(path_.c_str());
        rmdir(dir_.c_str());
    }
    const std::string& Path() const { return path_; }
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_, path_;
};

}  // namespace kws::test
