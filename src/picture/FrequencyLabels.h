#pragma once
// The frequency grid of the spectrum pictures: where the lines go and how they are labelled.

namespace sv {

struct FrequencyGridLine {
    double frequency;
    const char* label;
    int labelShift;  // columns left of the line where the small label starts
};

inline constexpr FrequencyGridLine FrequencyGridLines[] = {
    {33, "33Hz", 9},      {100, "100Hz", 11}, {330, "330Hz", 11}, {1000, "1kHz", 9},
    {3300, "3.3kHz", 14}, {10000, "10k", 7},  {20000, "20", 9},
};

}  // namespace sv
