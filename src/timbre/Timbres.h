#pragma once
// Target timbres without a window: the built-in band tables, band table to spectrum,
// and the stored timbre files *.sts.
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/CoreTypes.h"

namespace sv {

// 62 band values relative to the base slope 2e9 x exp(-7 (i + 1) / 62).
using BandTable = std::array<float, 62>;

enum class BuiltInTimbre { Clear, Split, Premaster, Drum, Pop };

const BandTable& BuiltInTable(BuiltInTimbre timbre);

// "clear", "split", "premaster", "drum", "pop" in any case.
std::optional<BuiltInTimbre> TimbreByName(std::string_view name);

// Cosine interpolation of the scaled band values on the logarithmic frequency axis of the
// 16384-point transform at 44100 Hz; out[0] = 0 and out[16384 - k] = out[k].
void BandsToSpectrum(BandTable bands, BinSpectrum& out);

// Interpolates the logarithms of the scaled band values instead, corrected until every band
// that holds bins has its value as the mean of its bins again, as SaveTimbre takes it; so a
// target compared by band means gives back the means of the spectrum the file was saved from.
// A value of 0 or below, which has no logarithm, falls back to BandsToSpectrum.
void BandsToSpectrumKeepingMeans(BandTable bands, BinSpectrum& out);

// Reduces the spectrum to a band table and writes it as a *.sts file (62 lines, CR LF). Writes a
// temporary file beside the target and renames it into place, so a failure never leaves a half
// file. Throws IoError on failure.
void SaveTimbre(const BinSpectrum& spectrum, const std::filesystem::path& file);

// Reads a band table (missing values at the end read as 0) and fills out; out is not touched
// when reading fails. Throws IoError when the file cannot be read or a value is not a number.
// keepBandMeans: through BandsToSpectrumKeepingMeans.
void LoadTimbre(BinSpectrum& out, const std::filesystem::path& file, bool keepBandMeans = false);

// Names (file name without ".sts") of the *.sts files in the folders, sorted without regard to
// case, each name once. Missing folders are skipped.
std::vector<std::string> ListTimbres(const std::vector<std::filesystem::path>& folders);

}  // namespace sv
