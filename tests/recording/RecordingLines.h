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

}  // namespace kws::test
