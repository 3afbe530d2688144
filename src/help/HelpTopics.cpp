#include "help/HelpTopics.h"

namespace sv {

namespace {

constexpr HelpTopic kTopics[] = {
    {0, &LanguageTexts::TechnicalTopicTitle, {}, 7},
    {1, &LanguageTexts::MethodTopicTitle, {}, 71},
    {0, &LanguageTexts::RequirementsTopicTitle, {}, 8},
    {0, &LanguageTexts::FileMenuCaption, {}, 1},
    {1, &LanguageTexts::OpenCaption, {}, 11},
    {1, &LanguageTexts::ReturnToSavedCaption, {}, 12},
    {1, &LanguageTexts::SaveCaption, {}, 13},
    {1, &LanguageTexts::SaveAsCaption, {}, 14},
    {1, &LanguageTexts::ExitCaption, {}, 15},
    {0, &LanguageTexts::BatchCaption, {}, 2},
    {0, &LanguageTexts::FiltersMenuCaption, {}, 3},
    {1, &LanguageTexts::NormalizeCaption, {}, 31},
    {1, &LanguageTexts::RemoveNoiseCaption, {}, 32},
    {1, &LanguageTexts::FitPeaksCaption, {}, 33},
    {1, &LanguageTexts::RemasterCaption, {}, 34},
    {1, &LanguageTexts::DetectCaption, {}, 35},
    {0, &LanguageTexts::RemasterTypeCaption, {}, 4},
    {1, &LanguageTexts::BothChannelsCaption, {}, 41},
    {1, &LanguageTexts::SeparateChannelsCaption, {}, 42},
    {1, &LanguageTexts::PartialSeparationCaption, {}, 43},
    {1, &LanguageTexts::LimitationLabel, {}, 44},
    {1, &LanguageTexts::PrecisionLabel, {}, 45},
    {1, &LanguageTexts::BandAverageCaption, {}, 46},
    {1, &LanguageTexts::BandMediumCaption, {}, 47},
    {1, &LanguageTexts::BandPeakCaption, {}, 48},
    {0, &LanguageTexts::TimbreCaption, {}, 5},
    {1, &LanguageTexts::ClearTimbreCaption, {}, 51},
    {1, &LanguageTexts::SplitTimbreCaption, {}, 52},
    {1, &LanguageTexts::PremasterTimbreCaption, {}, 53},
    {1, &LanguageTexts::DrumTimbreCaption, {}, 54},
    {1, &LanguageTexts::PopTimbreCaption, {}, 55},
    {1, &LanguageTexts::ExampleTimbreCaption, {}, 56},
    {0, &LanguageTexts::AdditionalSettingsCaption, {}, 6},
    {1, &LanguageTexts::RemoveNoiseCaption, {}, 61},
    {2, &LanguageTexts::BlocksUnit, {}, 611},
    {2, nullptr, "%", 612},
    {2, &LanguageTexts::SecondsUnit, {}, 613},
    {1, &LanguageTexts::FitPeaksCaption, {}, 62},
    {2, &LanguageTexts::PiecesUnit, {}, 621},
    {2, &LanguageTexts::BorderSizeLabel, {}, 622},
    {1, &LanguageTexts::NormalizeCaption, {}, 63},
    {1, &LanguageTexts::HighPassCaption, {}, 64},
    {2, nullptr, "Hz", 641},
    {2, nullptr, "dB", 642},
    {1, &LanguageTexts::LowPassCaption, {}, 65},
    {2, nullptr, "kHz", 651},
    {2, nullptr, "dB", 652},
};

}  // namespace

std::span<const HelpTopic> HelpTopics() { return kTopics; }

std::string HelpTopicTitle(const HelpTopic& topic, const LanguageTexts& texts) {
    if (!topic.titleText) return std::string(topic.fixedTitle);
    // A menu caption's access-key mark is not part of the title.
    std::string title = texts.*(topic.titleText);
    std::erase(title, '&');
    return title;
}

std::string HelpTopicText(int number, const LanguageTexts& texts) {
    const std::string* text = texts.Find("CaHelp" + std::to_string(number));
    return text ? *text : std::string();
}

}  // namespace sv
