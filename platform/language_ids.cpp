// Turns a POSIX locale name ("es_MX.UTF-8") into the 16-bit Windows language identifier
// that the shell chooses its interface language from.
#include "platform/language_ids.h"

#include <cctype>
#include <string_view>

namespace {

constexpr int EnglishUnitedStates = 0x0409;
constexpr int PrimaryLanguageMask = 0x03FF; // low 10 bits; the sublanguage sits above
constexpr int FirstSublanguage = 0x0400;    // sublanguage 1: the language's main region

struct LanguageEntry {
    std::string_view language; // ISO 639 code, lower case
    std::string_view region;   // ISO 3166 code, upper case; "" = the language alone
    int id;
};

// Windows language identifiers by language and region. The entry with an empty region is
// the one a bare language name gets.
constexpr LanguageEntry Languages[] = {
    {"af", "", 0x0436},   {"af", "ZA", 0x0436},  {"ar", "", 0x0401},   {"ar", "SA", 0x0401},
    {"ar", "IQ", 0x0801}, {"ar", "EG", 0x0C01},  {"ar", "LY", 0x1001}, {"ar", "DZ", 0x1401},
    {"ar", "MA", 0x1801}, {"ar", "TN", 0x1C01},  {"ar", "AE", 0x3801}, {"az", "", 0x042C},
    {"be", "", 0x0423},   {"bg", "", 0x0402},    {"bn", "", 0x0445},   {"bs", "", 0x141A},
    {"ca", "", 0x0403},   {"ca", "ES", 0x0403},  {"cs", "", 0x0405},   {"cy", "", 0x0452},
    {"da", "", 0x0406},   {"de", "", 0x0407},    {"de", "DE", 0x0407}, {"de", "CH", 0x0807},
    {"de", "AT", 0x0C07}, {"de", "LU", 0x1007},  {"de", "LI", 0x1407}, {"el", "", 0x0408},
    {"en", "", 0x0409},   {"en", "US", 0x0409},  {"en", "GB", 0x0809}, {"en", "AU", 0x0C09},
    {"en", "CA", 0x1009}, {"en", "NZ", 0x1409},  {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09},
    {"en", "JM", 0x2009}, {"en", "BZ", 0x2809},  {"en", "TT", 0x2C09}, {"en", "ZW", 0x3009},
    {"en", "PH", 0x3409}, {"en", "IN", 0x4009},  {"en", "MY", 0x4409}, {"en", "SG", 0x4809},
    {"es", "", 0x0C0A},   {"es", "ES", 0x0C0A},  {"es", "MX", 0x080A}, {"es", "GT", 0x100A},
    {"es", "CR", 0x140A}, {"es", "PA", 0x180A},  {"es", "DO", 0x1C0A}, {"es", "VE", 0x200A},
    {"es", "CO", 0x240A}, {"es", "PE", 0x280A},  {"es", "AR", 0x2C0A}, {"es", "EC", 0x300A},
    {"es", "CL", 0x340A}, {"es", "UY", 0x380A},  {"es", "PY", 0x3C0A}, {"es", "BO", 0x400A},
    {"es", "SV", 0x440A}, {"es", "HN", 0x480A},  {"es", "NI", 0x4C0A}, {"es", "PR", 0x500A},
    {"es", "US", 0x540A}, {"es", "419", 0x580A}, {"et", "", 0x0425},   {"eu", "", 0x042D},
    {"fa", "", 0x0429},   {"fi", "", 0x040B},    {"fr", "", 0x040C},   {"fr", "FR", 0x040C},
    {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C},  {"fr", "CH", 0x100C}, {"fr", "LU", 0x140C},
    {"fr", "MC", 0x180C}, {"ga", "", 0x083C},    {"gl", "", 0x0456},   {"he", "", 0x040D},
    {"hi", "", 0x0439},   {"hr", "", 0x041A},    {"hu", "", 0x040E},   {"hy", "", 0x042B},
    {"id", "", 0x0421},   {"is", "", 0x040F},    {"it", "", 0x0410},   {"it", "IT", 0x0410},
    {"it", "CH", 0x0810}, {"ja", "", 0x0411},    {"ka", "", 0x0437},   {"kk", "", 0x043F},
    {"ko", "", 0x0412},   {"lt", "", 0x0427},    {"lv", "", 0x0426},   {"mk", "", 0x042F},
    {"mn", "", 0x0450},   {"ms", "", 0x043E},    {"mt", "", 0x043A},   {"nb", "", 0x0414},
    {"no", "", 0x0414},   {"nn", "", 0x0814},    {"nl", "", 0x0413},   {"nl", "NL", 0x0413},
    {"nl", "BE", 0x0813}, {"pl", "", 0x0415},    {"pt", "", 0x0416},   {"pt", "BR", 0x0416},
    {"pt", "PT", 0x0816}, {"ro", "", 0x0418},    {"ru", "", 0x0419},   {"sk", "", 0x041B},
    {"sl", "", 0x0424},   {"sq", "", 0x041C},    {"sr", "", 0x081A},   {"sv", "", 0x041D},
    {"sv", "SE", 0x041D}, {"sv", "FI", 0x081D},  {"sw", "", 0x0441},   {"ta", "", 0x0449},
    {"th", "", 0x041E},   {"tr", "", 0x041F},    {"uk", "", 0x0422},   {"ur", "", 0x0420},
    {"uz", "", 0x0443},   {"vi", "", 0x042A},    {"zh", "", 0x0804},   {"zh", "CN", 0x0804},
    {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04},  {"zh", "SG", 0x1004}, {"zh", "MO", 0x1404},
};

bool isLetterOrDigit(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

} // namespace

int languageIdForLocale(const std::string& localeName)
{
    // "ll_CC.codeset@modifier" or "ll-CC": language, then an optional region.
    std::string language, region;
    size_t i = 0;
    for (; i < localeName.size() && isLetterOrDigit(localeName[i]); ++i)
        language += static_cast<char>(std::tolower(static_cast<unsigned char>(localeName[i])));
    if (i < localeName.size() && (localeName[i] == '_' || localeName[i] == '-'))
        for (++i; i < localeName.size() && isLetterOrDigit(localeName[i]); ++i)
            region += static_cast<char>(std::toupper(static_cast<unsigned char>(localeName[i])));

    int bare = 0;
    for (const LanguageEntry& e : Languages) {
        if (e.language != language)
            continue;
        if (e.region == region)
            return e.id;
        if (e.region.empty())
            bare = e.id;
    }
    if (bare == 0)
        return EnglishUnitedStates; // "C", "POSIX" and languages without an entry
    // A region without an entry of its own: the language's first sublanguage.
    return FirstSublanguage | (bare & PrimaryLanguageMask);
}
