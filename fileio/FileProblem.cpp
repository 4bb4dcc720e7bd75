// The texts that say why an output was not written.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fileio/OutputFile.h"
#include "res/Resources.h"

namespace kws::fileio {

namespace {

// The folder of `path` as an absolute, clean path: relative to the current folder, with "." and
// ".." resolved by name.
std::string AbsoluteFolder(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        std::vector<char> cwd(4096);
        full = (::getcwd(cwd.data(), cwd.size()) != nullptr ? std::string(cwd.data()) : ".") + "/" +
               path;
    }
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= full.size()) {
        const size_t slash = std::min(full.find('/', at), full.size());
        const std::string part = full.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    if (!parts.empty()) parts.pop_back();  // the file's own name
    std::string folder;
    for (const std::string& part : parts) folder += "/" + part;
    return folder.empty() ? "/" : folder;
}

}  // namespace

std::string FileProblemText(FileWriteError error, int errnoValue, const std::string& path) {
    switch (error) {
        case FileWriteError::kMissingFolder: return res::Format(152, AbsoluteFolder(path).c_str());
        case FileWriteError::kReadOnlyFolder: return res::Format(153, AbsoluteFolder(path).c_str());
        case FileWriteError::kTargetIsFolder: return res::Format(154, path.c_str());
        default: return std::strerror(errnoValue);
    }
}

std::string FileNotWrittenText(FileWriteError error, int errnoValue, const std::string& path) {
    return res::Format(151, path.c_str(), FileProblemText(error, errnoValue, path).c_str());
}

}  // namespace kws::fileio
