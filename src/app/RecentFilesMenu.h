#pragma once
// The File menu's list of the files opened last.
#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace sv {

// Refills menu with one numbered entry per file ("&1 song.wav", the path as its hint); a chosen
// entry calls open with its file. Without files the menu is disabled.
void FillRecentFilesMenu(QMenu& menu, const std::vector<std::string>& files,
                         const std::function<void(const std::string&)>& open);

}  // namespace sv
