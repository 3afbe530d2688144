#include "help/HelpTopics.h"

namespace sv {

namespace {

constexpr HelpTopic kTopics[] = {
    {0, &LanguageTexts::CaMenu1, {}, 7},
    {1, &LanguageTexts::CaMenu11, {}, 71},
    {0, &LanguageTexts::CaMenu2, {}, 8},
    {0, &LanguageTexts::CaFile, {}, 1},
    {1, &LanguageTexts::CaOpen, {}, 11},
    {1, &LanguageTexts::CaRevToSav, {}, 12},
    {1, &LanguageTexts::CaSave, {}, 13},
    {1, &LanguageTexts::CaSaveAs, {}, 14},
    {1, &LanguageTexts::CaEnd, {}, 15},
    {0, &LanguageTexts::CaBatch, {}, 2},
    {0, &LanguageTexts::CaFilter, {}, 3},
    {1, &LanguageTexts::CaNormalize, {}, 31},
    {1, &LanguageTexts::CaRemNoise, {}, 32},
    {1, &LanguageTexts::CaRemPeek, {}, 33},
    {1, &LanguageTexts::CaRemaster, {}, 34},
    {1, &LanguageTexts::CaDetekt, {}, 35},
    {0, &LanguageTexts::CaTypRemast, {}, 4},
    {1, &LanguageTexts::CaPrum, {}, 41},
    {1, &LanguageTexts::CaStereo, {}, 42},
    {1, &LanguageTexts::CaWeight, {}, 43},
    {1, &LanguageTexts::CaL9, {}, 44},
    {1, &LanguageTexts::CaL1, {}, 45},
    {1, &LanguageTexts::CaStress, {}, 46},
    {1, &LanguageTexts::CaMedi, {}, 47},
    {1, &LanguageTexts::CaPeek, {}, 48},
    {0, &LanguageTexts::CaColorNoise, {}, 5},
    {1, &LanguageTexts::CaClear, {}, 51},
    {1, &LanguageTexts::CaSplit, {}, 52},
    {1, &LanguageTexts::CaPremaster, {}, 53},
    {1, &LanguageTexts::CaDrum, {}, 54},
    {1, &LanguageTexts::CaPop, {}, 55},
    {1, &LanguageTexts::CaRaDetect, {}, 56},
    {0, &LanguageTexts::CaAditional, {}, 6},
    {1, &LanguageTexts::CaRemNoise, {}, 61},
    {2, &LanguageTexts::CaL5, {}, 611},
    {2, nullptr, "%", 612},
    {2, &LanguageTexts::CaL7, {}, 613},
    {1, &LanguageTexts::CaRemPeek, {}, 62},
    {2, &LanguageTexts::CaL4, {}, 621},
    {2, &LanguageTexts::CaL11, {}, 622},
    {1, &LanguageTexts::CaNormalize, {}, 63},
    {1, &LanguageTexts::CaHiPass, {}, 64},
    {2, nullptr, "Hz", 641},
    {2, nullptr, "dB", 642},
    {1, &LanguageTexts::CaLoPass, {}, 65},
    {2, nullptr, "kHz", 651},
    {2, nullptr, "dB", 652},
};

}  // namespace

std::span<const HelpTopic> HelpTopics() { return kTopics; }

std::string HelpTopicTitle(const HelpTopic& topic, const LanguageTexts& texts) {
    return topic.titleText ? texts.*(topic.titleText) : std::string(topic.fixedTitle);
}

std::string HelpTopicText(int number, const LanguageTexts& texts) {
    const std::string* text = texts.Find("CaHelp" + std::to_string(number));
    return text ? *text : std::string();
}

}  // namespace sv
