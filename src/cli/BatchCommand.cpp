#include "cli/BatchCommand.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <numeric>
#include <thread>
#include <unordered_set>

#include "audio/AudioFileFormats.h"
#include "base/UsableCores.h"
#include "cli/BatchOrder.h"
#include "cli/BatchProgress.h"
#include "cli/FileJob.h"
#include "cli/FileList.h"
#include "cli/JsonLines.h"
#include "cli/OutputClashes.h"
#include "cli/PrintableText.h"
#include "cli/ReportMerge.h"
#include "cli/ResultSink.h"
#include "cli/Session.h"
#include "cli/TerminalProgress.h"

namespace sv::cli {

namespace {

std::uint64_t FileBytes(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// What the workers share; every member below the mutex is guarded by it.
class BatchRun {
  public:
    BatchRun(const Options& options, const std::filesystem::path& workFolder,
             const BinSpectrum& target, std::vector<BatchItem> items, ResultSink& sink,
             bool silentStages, bool channelThreads, bool largestFirst)
        : options_(options),
          workFolder_(workFolder),
          target_(target),
          items_(std::move(items)),
          sink_(sink),
          silentStages_(silentStages),
          channelThreads_(channelThreads),
          progress_(options.Quiet ? nullptr : stderr, items_.size(), TotalBytes(items_)) {
        order_.resize(items_.size());
        std::iota(order_.begin(), order_.end(), std::size_t{0});
        if (largestFirst) {
            std::vector<std::uint64_t> bytes;
            for (const auto& item : items_) bytes.push_back(FileBytes(item.Input));
            order_ = LargestFirst(bytes);
        }
    }

    // One worker: its own session, documents and engine; files taken in the batch's order.
    void Work() {
        try {
            WorkOnFiles();
        } catch (const std::exception& e) {  // the report cannot be written, out of memory
            std::lock_guard lock(mutex_);
            std::fprintf(stderr, "sonivar-cli: %s\n", e.what());
            worst_ = std::max<int>(worst_, ExitIoFailure);
            stopped_ = true;
        }
        // Its core now helps the files still in work.
        idleCores_.fetch_add(1, std::memory_order_relaxed);
    }

    int Exit() const { return cancelled_ || Interrupted() ? ExitCancelled : worst_; }

  private:
    void WorkOnFiles() {
        Session session;
        SetUp(session, options_, silentStages_);
        session.env.WorkFolder = workFolder_;
        EngineOptions engineOptions;
        engineOptions.ChannelThreads = channelThreads_;
        engineOptions.IdleCores = &idleCores_;
        EngineRun run(session.env.Ports, engineOptions);
        run.spectra->Target = target_;
        while (const BatchItem* item = Next()) {
            session.dialogs.SetSubject(item->Input);
            if (!Finish(*item, RemasterFile(session, run, options_, JobOf(*item)))) return;
        }
    }

    static std::uint64_t TotalBytes(const std::vector<BatchItem>& items) {
        std::uint64_t total = 0;
        for (const auto& item : items) total += FileBytes(item.Input);
        return total;
    }

    FileJob JobOf(const BatchItem& item) const {
        return {item.Input,
                item.Output,
                !options_.Overwrite,
                sink_.Wanted(),
                !options_.Overwrite && !options_.ResumeFile.empty(),
                options_.Recursive || !options_.KeepFolders.empty()};
    }

    const BatchItem* Next() {
        std::lock_guard lock(mutex_);
        if (cancelled_ || stopped_ || Interrupted() || next_ >= items_.size()) return nullptr;
        const BatchItem& item = items_[order_[next_++]];
        progress_.Started(item.Input);
        return &item;
    }

    // Records a finished file; false when the batch stops.
    bool Finish(const BatchItem& item, const FileRecord& record) {
        std::lock_guard lock(mutex_);
        sink_.Add(record);
        if (record.Exit == ExitCancelled) {
            cancelled_ = true;
            return false;
        }
        progress_.Finished(FileBytes(item.Input));
        worst_ = std::max(worst_, record.Exit);
        return !stopped_ && !Interrupted();
    }

    const Options& options_;
    const std::filesystem::path workFolder_;
    const BinSpectrum& target_;
    const std::vector<BatchItem> items_;
    std::vector<std::size_t> order_;  // indices into items_, in the order workers take them
    ResultSink& sink_;
    const bool silentStages_;
    const bool channelThreads_;
    std::atomic<int> idleCores_{0};  // of workers that found no file left

    std::mutex mutex_;
    BatchProgress progress_;
    std::size_t next_ = 0;
    int worst_ = ExitDone;
    bool cancelled_ = false;
    bool stopped_ = false;
};

// No file is processed when the target timbre cannot be had; each is told why.
FileRecord NotStartedRecord(const BatchItem& item, int exit, const Session& session) {
    FileRecord record;
    record.Input = item.Input;
    record.Output = item.Output;
    record.Exit = exit;
    record.Status = StatusOfExit(exit);
    record.Message = session.dialogs.LastMessage();
    return record;
}

int CheckFolders(const Options& options) {
    std::vector<std::filesystem::path> folders = {options.Output};
    if (options.FilesFrom.empty()) folders.insert(folders.begin(), options.Input);
    std::error_code ec;
    for (const auto& folder : folders) {
        if (!std::filesystem::is_directory(folder, ec)) {
            std::fprintf(stderr, "sonivar-cli: %s is not a folder\n", folder.c_str());
            return ExitIoFailure;
        }
    }
    return ExitDone;
}

// Reports the items that clash and takes them out of the run; returns the exit code they add.
int RefuseClashes(std::vector<BatchItem>& items, ResultSink& sink) {
    int exit = ExitDone;
    for (const auto& item : items) {
        if (item.Clash.empty()) continue;
        FileRecord record;
        record.Input = item.Input;
        record.Output = item.Output;
        record.Status = FileStatus::Refused;
        record.Exit = exit = ExitRefused;
        record.Message = item.Clash + "; skipped";
        std::fprintf(stderr, "sonivar-cli: %s\n", PrintableText(record.Message).c_str());
        sink.Add(record);
    }
    std::erase_if(items, [](const BatchItem& item) { return !item.Clash.empty(); });
    return exit;
}

std::filesystem::path AbsoluteFolder(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
    if (absolute.filename().empty() && absolute.has_relative_path())
        absolute = absolute.parent_path();  // "/archive/" names the folder "/archive"
    return absolute;
}

// Where the results of a batch go: DST_DIR, or the inputs' folders below a root kept under it.
class ResultNames {
  public:
    explicit ResultNames(const Options& options)
        : target_(options.Output), prefix_(options.Overwrite ? "" : "_") {
        if (!options.KeepFolders.empty())
            root_ = options.KeepFolders;
        else if (options.Recursive)
            root_ = options.Input;
        if (!root_.empty()) absoluteRoot_ = AbsoluteFolder(root_);
    }

    BatchItem Item(const std::string& input) const {
        const std::filesystem::path path(input);
        const std::string name = SavableName(prefix_ + path.filename().string());
        if (root_.empty()) return {input, (target_ / name).string()};
        // Lexically, so that the tree is the one the paths name, links and all.
        const auto folder = AbsoluteFolder(path.parent_path()).lexically_relative(absoluteRoot_);
        if (folder.empty() || *folder.begin() == "..")
            return {input, (target_ / name).string(),
                    input + " is not inside the folder " + root_.string()};
        return {input, (target_ / folder / name).lexically_normal().string()};
    }

  private:
    std::filesystem::path target_;
    std::string prefix_;
    std::filesystem::path root_;
    std::filesystem::path absoluteRoot_;
};

}  // namespace

std::vector<BatchItem> BatchItems(const Options& options) {
    const ResultNames names(options);
    std::vector<BatchItem> items;
    if (options.FilesFrom.empty()) {
        // Fixed now: results written into the source folder are not processed again.
        for (const auto& name : WavFiles(options.Input, options.Recursive, options.Output))
            items.push_back(names.Item((std::filesystem::path(options.Input) / name).string()));
        return items;
    }
    for (auto& input : ReadFileList(options.FilesFrom, options.FilesFromNul))
        items.push_back(names.Item(input));
    return items;
}

void DropDoneItems(std::vector<BatchItem>& items, const std::filesystem::path& report) {
    // "./in/a.wav" and "in/a.wav" name the same file in two runs from the same folder.
    const auto normal = [](const std::string& path) {
        return std::filesystem::path(path).lexically_normal().string();
    };
    std::unordered_set<std::string> done;
    for (const auto& input : DoneInputs(report)) done.insert(normal(input));
    if (done.empty()) return;
    std::erase_if(items,
                  [&](const BatchItem& item) { return done.count(normal(item.Input)) != 0; });
}

// The cores the batch may keep busy: --jobs N, else every core this process may use. A shared
// machine or a scheduler's slot is kept to N whatever the file count.
int CoresToUse(const Options& options) { return options.Jobs > 0 ? options.Jobs : UsableCores(); }

// One worker per core, no more than there are files.
int WorkerCount(int cores, std::size_t items) {
    const auto wanted = static_cast<std::size_t>(std::max(cores, 1));
    return static_cast<int>(std::clamp<std::size_t>(std::min(wanted, items), 1, 1024));
}

int RunBatch(const Options& options, const std::filesystem::path& workFolder) {
    if (const int exit = CheckFolders(options); exit != ExitDone) return exit;
    if (!options.MergeReports.empty())
        return RunReportMerge(options.FilesFrom, options.FilesFromNul, options.Output,
                              options.MergeReports);
    Session session;
    SetUp(session, options);
    session.env.WorkFolder = workFolder;
    EngineRun prepared(session.env.Ports);
    const int targetExit = ChooseTarget(session, prepared, options);

    std::vector<BatchItem> items = BatchItems(options);
    // Over the whole list: a file done in an earlier run still owns its result.
    MarkOutputClashes(items, options.Overwrite);
    if (!options.ResumeFile.empty()) DropDoneItems(items, options.ResumeFile);
    // Resuming goes on writing the same report unless another one is named.
    ResultSink sink(options, options.ReportFile.empty() ? options.ResumeFile : options.ReportFile);
    if (targetExit != ExitDone) {
        for (const auto& item : items) sink.Add(NotStartedRecord(item, targetExit, session));
        return targetExit;
    }
    const int refused = RefuseClashes(items, sink);
    const int cores = CoresToUse(options);
    const int workers = WorkerCount(cores, items.size());
    // A file's second channel thread takes a core that is allotted and that no worker keeps busy.
    BatchRun batch(options, workFolder, prepared.spectra->Target, std::move(items), sink,
                   workers > 1, workers<std::min(cores, UsableCores()), workers> 1);
    {
        std::vector<std::jthread> threads;
        for (int i = 1; i < workers; ++i) threads.emplace_back([&batch] { batch.Work(); });
        batch.Work();
    }
    return std::max(batch.Exit(), refused);  // a cancel's 130 outweighs a refusal
}

}  // namespace sv::cli
