// One language module: a shared library whose only export returns its text table.
// KWS_LANG_FILE names the data file; CMake builds this source once per language.
#include "res/ModuleTable.inc"

extern "C" __attribute__((visibility("default"))) const KwsResourceModule* kws_resource_module(
    void) {
    return &kModule;
}
