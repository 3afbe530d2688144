#pragma once
// What the main window asks of the person at the screen besides messages and questions: file
// names and the batch settings. Qt dialogs in the program, scripts in the tests.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sv {

// What the batch window hands back when it closes.
struct BatchChoice {
    bool StartBatch = false;  // Make was pressed
    bool Overwrite = false;   // false: results are named "_" + source name
    std::filesystem::path SourceFolder;
    std::filesystem::path DestinationFolder;
    std::vector<std::string> SourceNames;  // the *.wav files of the source folder, in list order
};

// A file a batch refused or could not save, and why.
struct FileProblem {
    std::string File;
    std::string Message;
    friend bool operator==(const FileProblem&, const FileProblem&) = default;
};

class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // The chosen name, or nothing when the dialog was cancelled. current is the name the dialog
    // holds when it opens.
    virtual std::optional<std::string> ChooseOpenName(const std::string& current) = 0;
    virtual std::optional<std::string> ChooseSaveName(const std::string& current) = 0;
    virtual BatchChoice ChooseBatch() = 0;
    // Shown once when a batch with problems has ended, all of them together.
    virtual void ReportBatch(const std::vector<FileProblem>& problems) = 0;
};

}  // namespace sv
