#pragma once
// The command line of sonivar-cli.
#include <optional>
#include <string>

#include "dsp/RemasterSettings.h"

namespace sv::cli {

enum class CliCommand { Help, Version, Info, Remaster, Detect, Batch, Plot };

struct Options {
    CliCommand Command = CliCommand::Help;
    std::string Input;   // IN.wav, REF.wav or SRC_DIR (empty for a batch fed by --files-from)
    std::string Output;  // OUT.wav, OUT.sts or DST_DIR
    RemasterSettings Settings;
    std::string Timbre = "clear";  // a built-in name or a path to a *.sts file
    std::string Example;           // REF.wav: the target becomes its detected timbre
    std::string WorkFolder;        // empty: automatic
    // Loudness mode of normalizing: target integrated loudness and true-peak ceiling.
    std::optional<double> NormalizeLufs;
    double TruePeakMax = LoudnessNamed("truePeak").Default;
    bool Overwrite = false;
    bool Quiet = false;
    bool Json = false;     // one JSON object per input file on stdout
    std::string PlotFile;  // remaster: the spectra before and after as a PNG picture

    // Batch only.
    int Jobs = 0;               // cores a batch keeps busy; 0: every usable core
    std::string ReportFile;     // JSON lines appended as each file finishes
    std::string ResumeFile;     // a report whose done files are skipped
    std::string FilesFrom;      // a list of inputs instead of SRC_DIR; "-" is stdin
    bool FilesFromNul = false;  // the list is NUL-separated rather than one path a line
    bool Recursive = false;     // SRC_DIR's subfolders too, their tree kept under DST_DIR
    std::string KeepFolders;    // results keep the inputs' folders below this one under DST_DIR
    std::string MergeReports;   // a folder of reports on parts of the list, merged instead of work
};

// Parses argv; on a usage error returns nothing and sets error to a one-line reason.
std::optional<Options> ParseOptions(int argc, const char* const* argv, std::string& error);

std::string UsageText();

}  // namespace sv::cli
