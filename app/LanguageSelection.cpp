#include "app/LanguageSelection.h"

#include "platform/locale.h"
#include "xml/Node.h"

namespace language {

TSystem& System() {
    static TSystem system{platform::UserDefaultLCID, DestroyNode};
    return system;
}

void ResetSystem() { System() = TSystem{platform::UserDefaultLCID, DestroyNode}; }

}  // namespace language

AnsiString AddPathSeparator(const AnsiString& path) {
    if (path.empty()) return path;
    const char last = path.back();
    if (last == '\\' || last == '/' || last == ':') return path;
    if (path.size() == 1 && ((last >= 'A' && last <= 'Z') || (last >= 'a' && last <= 'z'))) return path + ":\\";
    return path + (path.find('/') != AnsiString::npos ? "/" : "\\");
}

bool IsRussianUser() { return language::System().UserDefaultLCID() == language::kRussianLcid; }
