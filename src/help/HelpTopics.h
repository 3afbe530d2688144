#pragma once
// The fixed tree of help topics: order, depth, title source and topic number of every node.
#include <span>
#include <string>
#include <string_view>

#include "text/Language.h"

namespace sv {

struct HelpTopic {
    int depth;                              // 0 = top level
    std::string LanguageTexts::*titleText;  // title from the language table, or null
    std::string_view fixedTitle;            // title used when titleText is null (units, the same in
                                            // every language)
    int number;                             // its text is the key "CaHelp" + number, if that exists
};

// Every node of the tree, in display order.
std::span<const HelpTopic> HelpTopics();

// The title a node shows with the given texts.
std::string HelpTopicTitle(const HelpTopic& topic, const LanguageTexts& texts);

// The help text of a topic number: empty for headings and groups that have none.
std::string HelpTopicText(int number, const LanguageTexts& texts);

}  // namespace sv
