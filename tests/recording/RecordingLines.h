// Data lines of small recordings written out by hand in tests.
#pragma once

#include <string>
#include <vector>

namespace kws::test {

// One data line of 03.06.09: the date, the time, then the value columns.
inline std::string Line(const char* clock, const std::vector<int>& columns) {
    std::string line = std::string("03.06.09\t") + clock;
    for (int c : columns) line += "\t" + std::to_string(c);
    return line + "\n";
}

// Six-curve columns 0 storage, 1 hot water, 3 circulation, 4 flow, 5 pump, 6 circulation pump.
inline std::vector<int> Six(int storage, int hot, int circulation, int flow, int pump, int on) {
    std::vector<int> c(13, 0);
    c[0] = storage;
    c[1] = hot;
    c[3] = circulation;
    c[4] = flow;
    c[5] = pump;
    c[6] = on;
    return c;
}

// Three-curve columns 0 hot water, 9 pump speed, 10 flow; the others 5.
inline std::vector<int> Three(int hot, int pump, int flow) {
    std::vector<int> c(12, 5);
    c[0] = hot;
    c[9] = pump;
    c[10] = flow;
    return c;
}

// A hand-made six-curve window of 10:00:00 to 10:00:21 on 03.06.09: ten data seconds, a gap of
// 13 s, flows and pump runs whose figures the tests work out by hand, a hot-water value beyond
// the sensor's range (2500) and a circulation-pump filler (-1250).
inline std::string HandMadeSixCurveWindow() {
    return Line("10:00:00", Six(600, 450, 400, 0, 0, 0)) +
           Line("10:00:01", Six(590, 460, 410, 60, 350, 10)) +
           Line("10:00:02", Six(580, 500, 420, 120, 350, 10)) +
           Line("10:00:03", Six(570, 2500, 430, 0, 0, 0)) +
           Line("10:00:04", Six(560, 480, 440, 30, 0, -1250)) +
           Line("10:00:05", Six(550, 470, 450, 30, 350, 10)) +
           Line("10:00:06", Six(540, 440, 460, 0, 0, 0)) +
           Line("10:00:07", Six(530, 430, 470, 90, 700, 10)) +
           Line("10:00:20", Six(520, 420, 480, 90, 700, 10)) +
           Line("10:00:21", Six(510, 410, 490, 0, 0, 0));
}

}  // namespace kws::test
