#pragma once
// How the window words a chain of stages: the title of its one progress window, the stages that
// ran, and the message when none is ticked.
#include <functional>
#include <string>
#include <vector>

#include "dsp/RemasterChain.h"

namespace sv {

// Turns an operation's caption into the chain window's title, "Remastering — stage 2 of 4";
// with a single stage, and for captions of no stage, the caption stays as it is.
std::function<std::string(const std::string&)> ChainProgressTitle(const RemasterSettings& s);

// The stages in the words of their check boxes, separated by commas.
std::string StageNames(const std::vector<ChainStage>& stages);

// Names the check boxes Remaster It runs, for a press with none of them ticked.
std::string NoStageTickedMessage();

}  // namespace sv
