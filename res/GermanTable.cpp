#define KWS_LANG_FILE "res/lang/de.inc"
#include "res/ModuleTable.inc"

namespace kws::res {
const KwsResourceModule* GermanModule() { return &kModule; }
}  // namespace kws::res
