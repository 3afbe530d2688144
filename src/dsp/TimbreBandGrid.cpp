#include "dsp/TimbreBandGrid.h"

#include "dsp/FFT.h"

namespace sv {

const std::vector<double>& TimbreBandPositions() {
    static const std::vector<double> positions = [] {
        std::vector<double> x(SpectrumBins, 0.0);
        const double low = BinFrequency(1, 44100.0);
        const double high = BinFrequency(SpectrumBins / 2 - 1, 44100.0);
        const double span = std::log10(high / low);
        for (int k = 1; k < SpectrumBins; ++k)
            x[k] = 59.0 * std::log10(static_cast<double>(BinFrequency(k, 44100.0)) / low) / span;
        return x;
    }();
    return positions;
}

int TimbreBandOfBin(int k) {
    static const std::vector<int> bands = [] {
        const std::vector<double>& x = TimbreBandPositions();
        std::vector<int> j(x.size(), 0);
        for (std::size_t k = 1; k < x.size(); ++k) j[k] = TimbreBandAt(x[k]);
        return j;
    }();
    return bands[k];
}

}  // namespace sv
