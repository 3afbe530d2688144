#include "LanguageIniSample.h"

#include <string_view>

#include "text/Language.h"

namespace sv::demo {

namespace {

// The reader drops blanks around a value and one pair of enclosing quotes; a value that would
// lose something that way is quoted so that it reads back as written.
std::string IniValue(std::string_view text) {
    const bool needsQuotes =
        !text.empty() &&
        (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' || text.back() == '\t' ||
         (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
          text.back() == text.front()));
    return needsQuotes ? "\"" + std::string(text) + "\"" : std::string(text);
}

}  // namespace

std::string LanguageIniSample() {
    std::string ini =
        "; Sonivar language file: every text the program shows, with its English default.\n"
        "; To translate, copy this file as language.ini into the folder of the sonivar\n"
        "; executable and change the values; the program reads it at start. Keys left out\n"
        "; keep their English default. Save the file as UTF-8.\n";
    std::string_view section;
    for (const LanguageKey& key : LanguageKeys()) {
        if (key.Section != section) {
            section = key.Section;
            ini += "\n[" + std::string(section) + "]\n";
        }
        ini += std::string(key.Key) + "=" + IniValue(DropTrailingBlanks(key.Default)) + "\n";
    }
    return ini;
}

}  // namespace sv::demo
