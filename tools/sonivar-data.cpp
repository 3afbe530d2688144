// Makes the files the build ships beside the programs (the demo recording, the start-up chime,
// the sample language file) and reports the levels of WAV files for the headless demo run.
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <string_view>

#include "DemoRecording.h"
#include "LanguageIniSample.h"
#include "LevelReport.h"
#include "base/WorkFolder.h"

namespace {

int Usage() {
    std::fputs(
        "Usage:\n"
        "  sonivar-data demo OUT.wav            write the demo recording\n"
        "  sonivar-data chime OUT.wav           write the start-up chime\n"
        "  sonivar-data language-ini OUT.ini    write every language key with its default\n"
        "  sonivar-data levels LABEL IN.wav     print peak and RMS level of every channel\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace sv::demo;
    if (argc < 3) return Usage();
    const std::string_view command = argv[1];
    try {
        if (command == "demo" && argc == 3) {
            WriteWav(argv[2], MakeDemoRecording());
        } else if (command == "chime" && argc == 3) {
            WriteWav(argv[2], MakeStartChime());
        } else if (command == "language-ini" && argc == 3) {
            std::ofstream out(argv[2], std::ios::binary);
            out << LanguageIniSample();
            out.close();
            if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
        } else if (command == "levels" && argc == 4) {
            std::fputs(LevelsText(argv[2], MeasureLevels(argv[3], sv::ChooseWorkFolder())).c_str(),
                       stdout);
        } else {
            return Usage();
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sonivar-data: %s\n", error.what());
        return 1;
    }
    return 0;
}
