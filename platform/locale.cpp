#include "platform/locale.h"

#include "platform/codepage.h"

namespace platform {
namespace {

struct LocaleEntry {
    const char* language;
    const char* territory;  // "" for the language's primary locale when no entry matches the territory
    uint32_t lcid;
};

// The first entry of each language is its primary locale.
constexpr LocaleEntry kLocales[] = {
    {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009},
    {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09}, {"en", "IN", 0x4009},
    {"ru", "RU", 0x0419}, {"ru", "MD", 0x0819},
    {"uk", "UA", 0x0422}, {"be", "BY", 0x0423}, {"kk", "KZ", 0x043F}, {"tt", "RU", 0x0444},
    {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07}, {"de", "LU", 0x1007}, {"de", "LI", 0x1407},
    {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C}, {"fr", "LU", 0x140C},
    {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A}, {"es", "AR", 0x2C0A},
    {"it", "IT", 0x0410}, {"it", "CH", 0x0810},
    {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816},
    {"nl", "NL", 0x0413}, {"nl", "BE", 0x0813},
    {"sv", "SE", 0x041D}, {"sv", "FI", 0x081D}, {"fi", "FI", 0x040B}, {"da", "DK", 0x0406},
    {"nb", "NO", 0x0414}, {"nn", "NO", 0x0814}, {"no", "NO", 0x0414}, {"is", "IS", 0x040F},
    {"pl", "PL", 0x0415}, {"cs", "CZ", 0x0405}, {"sk", "SK", 0x041B}, {"hu", "HU", 0x040E},
    {"ro", "RO", 0x0418}, {"ro", "MD", 0x0818}, {"bg", "BG", 0x0402}, {"hr", "HR", 0x041A},
    {"sl", "SI", 0x0424}, {"sr", "RS", 0x241A}, {"mk", "MK", 0x042F},
    {"lt", "LT", 0x0427}, {"lv", "LV", 0x0426}, {"et", "EE", 0x0425},
    {"el", "GR", 0x0408}, {"tr", "TR", 0x041F}, {"ka", "GE", 0x0437}, {"hy", "AM", 0x042B},
    {"az", "AZ", 0x042C}, {"uz", "UZ", 0x0443}, {"he", "IL", 0x040D}, {"ar", "SA", 0x0401},
    {"fa", "IR", 0x0429}, {"hi", "IN", 0x0439}, {"th", "TH", 0x041E}, {"vi", "VN", 0x042A},
    {"id", "ID", 0x0421}, {"ja", "JP", 0x0411}, {"ko", "KR", 0x0412},
    {"zh", "CN", 0x0804}, {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04}, {"zh", "SG", 0x1004},
    {"ca", "ES", 0x0403},
};

constexpr uint32_t kEnglishUS = 0x0409;

}  // namespace

uint32_t LcidFromLocaleName(std::string_view name) {
    // language[_territory][.codeset][@modifier]; "-" is accepted for "_" as in BCP 47 tags.
    const size_t end = name.find_first_of(".@");
    if (end != std::string_view::npos) name = name.substr(0, end);
    const size_t sep = name.find_first_of("_-");
    const std::string_view language = name.substr(0, sep);
    const std::string_view territory = sep == std::string_view::npos ? std::string_view() : name.substr(sep + 1);
    if (language.empty()) return kEnglishUS;
    uint32_t primary = 0;
    for (const LocaleEntry& entry : kLocales) {
        if (!AsciiSameText(language, entry.language)) continue;
        if (!primary) primary = entry.lcid;
        if (AsciiSameText(territory, entry.territory)) return entry.lcid;
    }
    return primary ? primary : kEnglishUS;
}

}  // namespace platform
