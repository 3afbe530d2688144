#include "help/HelpTopics.h"

namespace sv {

namespace {

constexpr HelpTopic kTopics[] = {
    {0, &TTexts::CaMenu1, {}, 7},
    {1, &TTexts::CaMenu11, {}, 71},
    {0, &TTexts::CaMenu2, {}, 8},
    {0, &TTexts::CaFile, {}, 1},
    {1, &TTexts::CaOpen, {}, 11},
    {1, &TTexts::CaRevToSav, {}, 12},
    {1, &TTexts::CaSave, {}, 13},
    {1, &TTexts::CaSaveAs, {}, 14},
    {1, &TTexts::CaEnd, {}, 15},
    {0, &TTexts::CaBatch, {}, 2},
    {0, &TTexts::CaFilter, {}, 3},
    {1, &TTexts::CaNormalize, {}, 31},
    {1, &TTexts::CaRemNoise, {}, 32},
    {1, &TTexts::CaRemPeek, {}, 33},
    {1, &TTexts::CaRemaster, {}, 34},
    {1, &TTexts::CaDetekt, {}, 35},
    {0, &TTexts::CaTypRemast, {}, 4},
    {1, &TTexts::CaPrum, {}, 41},
    {1, &TTexts::CaStereo, {}, 42},
    {1, &TTexts::CaWeight, {}, 43},
    {1, &TTexts::CaL9, {}, 44},
    {1, &TTexts::CaL1, {}, 45},
    {1, &TTexts::CaStress, {}, 46},
    {1, &TTexts::CaMedi, {}, 47},
    {1, &TTexts::CaPeek, {}, 48},
    {0, &TTexts::CaColorNoise, {}, 5},
    {1, &TTexts::CaClear, {}, 51},
    {1, &TTexts::CaSplit, {}, 52},
    {1, &TTexts::CaPremaster, {}, 53},
    {1, &TTexts::CaDrum, {}, 54},
    {1, &TTexts::CaPop, {}, 55},
    {1, &TTexts::CaRaDetect, {}, 56},
    {0, &TTexts::CaAditional, {}, 6},
    {1, &TTexts::CaRemNoise, {}, 61},
    {2, &TTexts::CaL5, {}, 611},
    {2, nullptr, "%", 612},
    {2, &TTexts::CaL7, {}, 613},
    {1, &TTexts::CaRemPeek, {}, 62},
    {2, &TTexts::CaL4, {}, 621},
    {2, &TTexts::CaL11, {}, 622},
    {1, &TTexts::CaNormalize, {}, 63},
    {1, &TTexts::CaHiPass, {}, 64},
    {2, nullptr, "Hz", 641},
    {2, nullptr, "dB", 642},
    {1, &TTexts::CaLoPass, {}, 65},
    {2, nullptr, "kHz", 651},
    {2, nullptr, "dB", 652},
};

}  // namespace

std::span<const HelpTopic> HelpTopics() { return kTopics; }

std::string HelpTopicTitle(const HelpTopic& topic, const TTexts& texts) {
    return topic.titleText ? texts.*(topic.titleText) : std::string(topic.fixedTitle);
}

std::string HelpTopicText(int number, const TTexts& texts) {
    const std::string* text = texts.Find("CaHelp" + std::to_string(number));
    return text ? *text : std::string();
}

}  // namespace sv
