#pragma once
// The reports of one file list that was processed in parts (a scheduler's array tasks, each
// with its own report) gathered into one: what became of each input, and the inputs to run again.
#include <filesystem>
#include <string>
#include <vector>

#include "cli/JsonLines.h"

namespace sv::cli {

struct MergedReports {
    std::vector<std::string> Lines;    // the last record of each listed input, in list order
    std::vector<std::string> NotDone;  // listed inputs whose last record is not done, or none
    std::size_t Inputs = 0;            // distinct inputs of the list
    std::size_t Done = 0;
};

// Inputs are compared as paths ("./a.wav" is "a.wav"); a later line outweighs an earlier one.
MergedReports MergeReports(const std::vector<std::string>& list,
                           const std::vector<std::vector<ReportLine>>& reports);

// The files a killed save left under folder (".sonivar-" temporaries beside the results).
std::vector<std::filesystem::path> LeftoverTemporaries(const std::filesystem::path& folder);

// batch --files-from LIST DST --merge-reports FOLDER: merges FOLDER's *.jsonl reports into
// DST/report.jsonl and DST/failed.list0 and says how many inputs are done. Exit 0 when all are.
int RunReportMerge(const std::string& list, bool nulSeparated, const std::filesystem::path& dst,
                   const std::filesystem::path& reportFolder);

}  // namespace sv::cli
