#include "res/Resources.h"

#include <QCoreApplication>
#include <QLibrary>

#include <unistd.h>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "res/ResourceModule.h"

namespace kws::res {

const KwsResourceModule* GermanModule();

namespace {

using Table = std::unordered_map<std::string_view, std::string_view>;

Table MakeTable(const KwsResourceModule* module) {
    Table table;
    for (int i = 0; i < module->entryCount; ++i) {
        const KwsResourceEntry& e = module->entries[i];
        if (e.key != nullptr && e.text != nullptr) table.emplace(e.key, e.text);
    }
    return table;
}

struct State {
    Table german = MakeTable(GermanModule());
    Table current;  // empty while German is current
    int language = kGerman;
    std::string languageTag = "de";
    std::string moduleDirectory;
    // Loaded modules stay loaded for the life of the program, so their texts stay valid.
    std::vector<QLibrary*> loaded;
};

State& GetState() {
    static State state;
    return state;
}

std::string ProgramDirectory() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath().toStdString();
    }
    std::array<char, PATH_MAX> buffer{};
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return ".";
    std::string path(buffer.data(), static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Loads a module and checks that it carries a usable table; nullptr for anything broken.
const KwsResourceModule* LoadModule(std::string_view name) {
    auto* library =
        new QLibrary(QString::fromStdString(ModuleDirectory() + "/" + std::string(name)));
    if (!library->load()) {
        delete library;
        return nullptr;
    }
    auto fn = reinterpret_cast<KwsResourceModuleFn>(library->resolve(kKwsResourceSymbol));
    const KwsResourceModule* module = fn != nullptr ? fn() : nullptr;
    if (module == nullptr || module->abiVersion != kKwsResourceAbiVersion ||
        module->entries == nullptr || module->entryCount <= 0 || module->language == nullptr) {
        library->unload();
        delete library;
        return nullptr;
    }
    GetState().loaded.push_back(library);
    return module;
}

std::string_view Lookup(std::string_view key) {
    State& state = GetState();
    if (auto it = state.current.find(key); it != state.current.end()) return it->second;
    if (auto it = state.german.find(key); it != state.german.end()) return it->second;
    return {};
}

}  // namespace

std::string Text(int id) { return std::string(Lookup(std::to_string(id))); }

std::string Text(std::string_view key) { return std::string(Lookup(key)); }

std::string VFormatText(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = VFormatText(format, args);
    va_end(args);
    return out;
}

std::string Format(int id, ...) {
    std::string format = Text(id);
    va_list args;
    va_start(args, id);
    std::string out = VFormatText(format.c_str(), args);
    va_end(args);
    return out;
}

std::string_view ModuleName(int code) {
    switch (code) {
        case kEnglish: return "SubDLL";
        case kSpanish: return "SubESP";
        case kFrench: return "SubFR";
        case kItalian: return "SubITA";
        case kPortuguese: return "SubPT";
        default: return {};
    }
}

void SetModuleDirectory(std::string directory) {
    GetState().moduleDirectory = std::move(directory);
}

std::string ModuleDirectory() {
    const std::string& dir = GetState().moduleDirectory;
    return dir.empty() ? ProgramDirectory() : dir;
}

int SelectLanguage(int code) {
    State& state = GetState();
    std::string_view name = ModuleName(code);
    const KwsResourceModule* module = name.empty() ? nullptr : LoadModule(name);
    if (module == nullptr) {
        state.current.clear();
        state.language = kGerman;
        state.languageTag = "de";
    } else {
        state.current = MakeTable(module);
        state.language = code;
        state.languageTag = module->language;
    }
    return state.language;
}

int CurrentLanguage() { return GetState().language; }

std::string CurrentLanguageTag() { return GetState().languageTag; }

}  // namespace kws::res
