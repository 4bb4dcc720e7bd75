// Named properties handed along with every save and returned by loading: integer keys, text
// values, kept in insertion order.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Keys in use.
enum : int {
    kImagePropertySaveQuality = 500,    // decimal integer; "-1" asks for the codec's default
    kImagePropertyTgaRunLength = 1000,  // "1" for a run-length coded TGA, "-1" otherwise
    kImagePropertyJpegQuality = 20496,
};

class FCImagePropertyList {
public:
    // Replaces the value of an existing key, else appends the pair.
    void SetValue(int key, const std::string& value) {
        for (auto& entry : entries_) {
            if (entry.first == key) {
                entry.second = value;
                return;
            }
        }
        entries_.emplace_back(key, value);
    }
    // The value of `key`, or an empty text when it is absent.
    std::string GetValue(int key) const {
        for (const auto& entry : entries_) {
            if (entry.first == key) return entry.second;
        }
        return {};
    }
    const std::vector<std::pair<int, std::string>>& Entries() const { return entries_; }

private:
    std::vector<std::pair<int, std::string>> entries_;
};
