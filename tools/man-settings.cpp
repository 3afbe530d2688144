// Writes the command-line program's man page with the list of stage settings taken from the
// settings table, so the page cannot disagree with the program: every line of the template
// that is just the marker comment becomes that list.
#include <fstream>
#include <iostream>
#include <string>

#include "dsp/StageSettings.h"

namespace {

constexpr std::string_view Marker = ".\\\" stage settings";

// Minus signs in man pages are written "\-", so they are not turned into hyphens.
std::string Roff(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '-') out += '\\';
        out += c;
    }
    return out;
}

void WriteSettings(std::ostream& out) {
    for (const sv::IntSetting& s : sv::IntSettings()) {
        const std::string start = s.Switch ? "off" : std::to_string(s.Default);
        out << ".TP\n.BI " << Roff(s.Flag) << " \" " << s.Value << "\"\n"
            << Roff(sv::RangeText(s)) << " (" << Roff(start) << "): " << s.Help << ".\n";
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
    int markers = 0;
    for (std::string line; std::getline(in, line);) {
        if (line == Marker) {
            WriteSettings(out);
            ++markers;
        } else {
            out << line << '\n';
        }
    }
    if (markers != 1) {
        std::cerr << "man-settings: the template needs one line '" << Marker << "'\n";
        return 1;
    }
    return out.good() ? 0 : 1;
}
