// Writes the command-line program's man page with the list of stage settings taken from the
// settings tables, so the page cannot disagree with the program: the template's line that is
// just the first marker comment becomes the whole-number settings, the one that is just the
// second the choices and the switches that have an option of their own.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>

#include "dsp/StageSettings.h"

namespace {

constexpr std::string_view NumbersMarker = ".\\\" stage settings";
constexpr std::string_view ChoicesMarker = ".\\\" stage choices";

// Minus signs in man pages are written "\-", so they are not turned into hyphens.
std::string Roff(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '-') out += '\\';
        out += c;
    }
    return out;
}

void WriteNumbers(std::ostream& out) {
    for (const sv::IntSetting& s : sv::IntSettings()) {
        const std::string start = s.Switch ? "off" : std::to_string(s.Default);
        out << ".TP\n.BI " << Roff(s.Flag) << " \" " << s.Value << "\"\n"
            << Roff(sv::RangeText(s)) << " (" << Roff(start) << "): " << s.Help << ".\n";
    }
}

void WriteChoicesAndSwitches(std::ostream& out) {
    for (const sv::ChoiceSetting& s : sv::ChoiceSettings())
        out << ".TP\n.BI " << Roff(s.Flag) << " \" " << s.Value << "\"\n"
            << Roff(sv::RangeText(s)) << " (" << s.Default << "): " << s.Help << ".\n";
    for (const sv::SwitchSetting& s : sv::SwitchSettings()) {
        if (s.IsStage || s.Flag.empty()) continue;
        std::string help(s.Help);
        if (!help.empty() && help[0] >= 'a' && help[0] <= 'z') help[0] = char(help[0] - 'a' + 'A');
        out << ".TP\n.B " << Roff(s.Flag) << "\n" << help << ".\n";
    }
    for (const sv::LoudnessSetting& s : sv::LoudnessSettings()) {
        std::string help(s.Help);
        std::replace(help.begin(), help.end(), '\n', ' ');
        out << ".TP\n.BI " << Roff(s.Flag) << " \" " << s.Value << "\"\n"
            << Roff(sv::RangeText(s)) << " (" << Roff(sv::StartText(s)) << "): " << Roff(help)
            << ".\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: man-settings TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::ofstream out(argv[2]);
    if (!in || !out) {
        std::cerr << "man-settings: cannot open " << (in ? argv[2] : argv[1]) << "\n";
        return 1;
    }
    int numbers = 0, choices = 0;
    for (std::string line; std::getline(in, line);) {
        if (line == NumbersMarker) {
            WriteNumbers(out);
            ++numbers;
        } else if (line == ChoicesMarker) {
            WriteChoicesAndSwitches(out);
            ++choices;
        } else {
            out << line << '\n';
        }
    }
    if (numbers != 1 || choices != 1) {
        std::cerr << "man-settings: the template needs one line '" << NumbersMarker
                  << "' and one line '" << ChoicesMarker << "'\n";
        return 1;
    }
    return out.good() ? 0 : 1;
}
