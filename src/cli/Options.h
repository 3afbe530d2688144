#pragma once
// The command line of sonivar-cli.
#include <optional>
#include <string>

#include "dsp/RemasterSettings.h"

namespace sv::cli {

enum class CliCommand { Help, Version, Info, Remaster, Detect, Batch };

struct Options {
    CliCommand Command = CliCommand::Help;
    std::string Input;   // IN.wav, REF.wav or SRC_DIR
    std::string Output;  // OUT.wav, OUT.sts or DST_DIR
    RemasterSettings Settings;
    std::string Timbre = "clear";  // a built-in name or a path to a *.sts file
    std::string Example;           // REF.wav: the target becomes its detected timbre
    std::string WorkFolder;        // empty: automatic
    // Loudness mode of normalizing: target integrated loudness and true-peak ceiling.
    std::optional<double> NormalizeLufs;
    double TruePeakMax = -1.0;
    bool Overwrite = false;
    bool Quiet = false;
};

// Parses argv; on a usage error returns nothing and sets error to a one-line reason.
std::optional<Options> ParseOptions(int argc, const char* const* argv, std::string& error);

std::string UsageText();

}  // namespace sv::cli
