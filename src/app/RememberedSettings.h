#pragma once
// What the desktop program keeps between runs: the option controls, the window's geometry, the
// last folders and the recent files, in one INI file. Without a file nothing is kept, so a
// window made without one (as in the tests) always starts from the defaults.
#include <filesystem>
#include <string>
#include <vector>

class QWidget;

namespace sv {

class RememberedSettings {
  public:
    static constexpr int RecentFileCount = 8;

    RememberedSettings() = default;
    explicit RememberedSettings(std::filesystem::path file) : file_(std::move(file)) {}
    // sonivar/sonivar.conf under the user's configuration folder ($XDG_CONFIG_HOME, else
    // ~/.config).
    static std::filesystem::path DefaultFile();

    bool Keeps() const { return !file_.empty(); }

    // Check boxes, spin boxes, sliders, lists and checked radio buttons below root, by their
    // object names; controls without a name are left out, and so are those named in skip.
    void StoreControls(const QWidget& root, const std::vector<std::string>& skip = {}) const;
    void RestoreControls(QWidget& root) const;
    void StoreGeometry(const QWidget& window) const;
    void RestoreGeometry(QWidget& window) const;

    // Empty when none was kept.
    std::filesystem::path Folder(const std::string& name) const;
    void KeepFolder(const std::string& name, const std::filesystem::path& folder) const;

    int Number(const std::string& name, int fallback) const;
    void KeepNumber(const std::string& name, int value) const;

    // The most recent first.
    std::vector<std::string> RecentFiles() const;
    void AddRecentFile(const std::string& fileName) const;

  private:
    std::filesystem::path file_;
};

}  // namespace sv
