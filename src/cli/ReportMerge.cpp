#include "cli/ReportMerge.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "base/AtomicFileWriter.h"
#include "cli/FileList.h"
#include "cli/PrintableText.h"
#include "cli/Session.h"

namespace sv::cli {

namespace {

std::string PathKey(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

void WriteWhole(const std::filesystem::path& target, const std::string& text) {
    AtomicFileWriter writer(target);
    writer.Write(text.data(), text.size());
    writer.Commit();
}

}  // namespace

MergedReports MergeReports(const std::vector<std::string>& list,
                           const std::vector<std::vector<ReportLine>>& reports) {
    std::unordered_map<std::string, const ReportLine*> last;
    for (const auto& report : reports)
        for (const auto& line : report) last[PathKey(line.Input)] = &line;
    MergedReports merged;
    std::unordered_set<std::string> seen;
    for (const auto& input : list) {
        const std::string key = PathKey(input);
        if (!seen.insert(key).second) continue;
        ++merged.Inputs;
        const auto found = last.find(key);
        if (found != last.end()) merged.Lines.push_back(found->second->Text);
        if (found != last.end() && found->second->Done)
            ++merged.Done;
        else
            merged.NotDone.push_back(input);
    }
    return merged;
}

std::vector<std::filesystem::path> LeftoverTemporaries(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(".sonivar-", 0) != 0) continue;
        if (it->is_regular_file(ec)) found.push_back(it->path());
        if (it->is_directory(ec)) it.disable_recursion_pending();  // the reports' own folder
    }
    std::sort(found.begin(), found.end());
    return found;
}

int RunReportMerge(const std::string& list, bool nulSeparated, const std::filesystem::path& dst,
                   const std::filesystem::path& reportFolder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(reportFolder, ec))
        if (entry.path().extension() == ".jsonl") files.push_back(entry.path());
    if (ec) {
        std::fprintf(stderr, "sonivar-cli: cannot read the folder %s: %s\n",
                     PrintableText(reportFolder.string()).c_str(), ec.message().c_str());
        return ExitIoFailure;
    }
    std::sort(files.begin(), files.end());
    std::vector<std::vector<ReportLine>> reports;
    for (const auto& file : files) reports.push_back(ReadReport(file));
    const MergedReports merged = MergeReports(ReadFileList(list, nulSeparated), reports);

    std::string text;
    for (const auto& line : merged.Lines) text += line + "\n";
    WriteWhole(dst / "report.jsonl", text);
    text.clear();
    for (const auto& input : merged.NotDone) text += input + '\0';
    WriteWhole(dst / "failed.list0", text);

    std::fprintf(stderr, "sonivar-cli: %zu of %zu files done; report: %s\n", merged.Done,
                 merged.Inputs, PrintableText((dst / "report.jsonl").string()).c_str());
    if (!merged.NotDone.empty())
        std::fprintf(stderr, "sonivar-cli: the %zu others are listed in %s (NUL-separated)\n",
                     merged.NotDone.size(), PrintableText((dst / "failed.list0").string()).c_str());
    const auto leftovers = LeftoverTemporaries(dst);
    if (!leftovers.empty())
        std::fprintf(stderr,
                     "sonivar-cli: %zu unfinished temporary files (.sonivar-*) left by killed "
                     "saves, e.g. %s; delete them\n",
                     leftovers.size(), PrintableText(leftovers.front().string()).c_str());
    return merged.NotDone.empty() ? ExitDone : ExitIoFailure;
}

}  // namespace sv::cli
