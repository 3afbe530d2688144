// Target timbres without a window.
#include "timbre/Timbres.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <system_error>

#include "base/AtomicFileWriter.h"
#include "base/CaseInsensitiveSort.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "dsp/FFT.h"
#include "dsp/TimbreBandGrid.h"

namespace sv {
namespace {

// Band tables of the built-in timbres (single precision; each decimal reads back to the stored
// single). Clear is all 1.0.
constexpr BandTable ClearTable = [] {
    BandTable t{};
    t.fill(1.0f);
    return t;
}();
constexpr BandTable SplitTable = {
    // clang-format off
    0.31678525f, 0.34589112f, 0.37767124f, 0.41237128f, 0.4502595f, 0.49162886f,
    0.5548651f, 0.6058456f, 0.6579689f, 0.71842235f, 0.7902316f, 0.8628372f,
    0.91230243f, 0.94331306f, 0.987061f, 0.9949202f, 0.999827f, 1.0099305f,
    0.9949331f, 1.0225643f, 1.1486545f, 1.5157478f, 1.6030352f, 1.220217f,
    1.0144459f, 1.0502635f, 1.0596398f, 1.04956f, 1.0215987f, 1.0173693f,
    0.94878805f, 0.8459239f, 0.66037714f, 0.5544705f, 0.78068495f, 1.0318899f,
    1.0646158f, 1.0373034f, 1.0628947f, 1.0882409f, 1.0814348f, 1.0579606f,
    1.039179f, 1.0748914f, 1.0818818f, 1.0592029f, 1.0242186f, 1.0431609f,
    1.0664753f, 1.0519782f, 1.0256983f, 1.0186176f, 1.2618883f, 1.5716263f,
    1.5686026f, 1.4348739f, 1.4486382f, 1.5942743f, 1.5960964f, 1.3380452f,
    1.1136843f, 1.2160084f,
    // clang-format on
};
constexpr BandTable PremasterTable = {
    // clang-format off
    0.31678507f, 0.34589094f, 0.37767103f, 0.41237104f, 0.45025924f, 0.4916286f,
    0.55486286f, 0.60584307f, 0.65796757f, 0.7184209f, 0.79022753f, 0.8628328f,
    0.9123103f, 0.9433079f, 0.9870695f, 0.9949409f, 0.99982333f, 1.0098786f,
    0.9946986f, 1.0183913f, 1.0707556f, 1.4847889f, 1.6902092f, 1.3820419f,
    1.6600491f, 1.6866579f, 1.1637408f, 1.0545014f, 1.0239466f, 1.0296918f,
    0.8310835f, 0.635726f, 0.6353473f, 0.8418015f, 1.0627488f, 1.0863961f,
    1.0673933f, 1.0376252f, 1.0886934f, 1.338066f, 1.5655785f, 1.6187614f,
    1.3523728f, 1.1942201f, 1.4456644f, 1.3041288f, 1.0514334f, 1.0926609f,
    1.5852135f, 1.9506737f, 1.2861018f, 1.0193044f, 1.145846f, 1.6026591f,
    1.4462646f, 1.1409693f, 1.6650761f, 2.0419507f, 2.1284578f, 1.9888896f,
    1.8344387f, 2.002985f,
    // clang-format on
};
constexpr BandTable DrumTable = {
    // clang-format off
    0.31678247f, 0.3458881f, 0.37766793f, 0.41236767f, 0.45025557f, 0.49162456f,
    0.55486304f, 0.6058433f, 0.65796953f, 0.71842307f, 0.7902232f, 0.862828f,
    0.9123024f, 0.94331557f, 0.98704416f, 0.9949123f, 0.99982715f, 1.009865f,
    0.9946481f, 1.0181972f, 1.0612004f, 1.4014617f, 1.6221119f, 1.4347278f,
    1.1428618f, 1.0601543f, 1.0597434f, 1.0495746f, 1.0244144f, 1.0560182f,
    1.0809202f, 0.9947691f, 0.8058091f, 0.8917432f, 0.95748097f, 0.689216f,
    0.83521765f, 1.0144949f, 1.0627252f, 1.0882409f, 1.081435f, 1.0579606f,
    1.0391794f, 1.0748913f, 1.0818826f, 1.0651133f, 1.1248196f, 1.498955f,
    1.397204f, 1.0902234f, 1.0258235f, 0.99580437f, 1.0637819f, 1.1986406f,
    1.1398836f, 1.1536372f, 1.896562f, 1.8179972f, 1.1393118f, 1.0251384f,
    1.0095788f, 1.1023378f,
    // clang-format on
};
constexpr BandTable PopTable = {
    // clang-format off
    0.49064368f, 0.5357235f, 0.5849452f, 0.63868934f, 0.6973714f, 0.76144516f,
    0.8593891f, 0.9383489f, 1.0191147f, 1.1127499f, 1.2239264f, 1.3363795f,
    1.4129945f, 1.4610846f, 1.5288736f, 1.5411403f, 1.5494996f, 1.5996673f,
    1.7464632f, 1.9192379f, 2.0331228f, 2.0355551f, 1.9094433f, 1.7046369f,
    1.5169444f, 1.4783853f, 1.3959987f, 1.1918117f, 1.0034773f, 0.87976044f,
    0.81280905f, 0.72944707f, 0.64873445f, 0.6153117f, 0.6242462f, 0.5933232f,
    0.57671505f, 0.5997491f, 0.7537172f, 0.84744465f, 0.9262427f, 1.0790787f,
    1.1087527f, 1.1333829f, 1.0801134f, 1.0579594f, 1.0226759f, 0.9820723f,
    1.2029538f, 1.4049342f, 1.2195561f, 1.1229079f, 1.2033657f, 1.4100692f,
    1.5021461f, 1.5491945f, 1.6994618f, 1.9073843f, 2.0193532f, 2.0633802f,
    2.0783818f, 2.2693412f,
    // clang-format on
};

constexpr int BandCount = 62;
constexpr int MaxToken = 64;

// Timbre tables are laid out for the nominal rate.
// The base slope S(i) = 2e9 x exp(-7 (i + 1) / 62), in extended precision.
long double BaseSlope(int i) {
    return 2e9L * std::exp(static_cast<long double>(-7 * (i + 1)) / 62.0L);
}

// One *.sts value: a blank or "-", one digit, ".", 14 digits, "E", the exponent's sign and four
// exponent digits. Locale-independent. Values that are not finite, which the format cannot
// hold, are written as "+Inf", "-Inf" and "Nan", right-aligned in the same 23 characters.
std::string ValueText(float value) {
    if (std::isnan(value)) return std::string(20, ' ') + "Nan";
    if (std::isinf(value)) return std::string(19, ' ') + (value < 0 ? "-Inf" : "+Inf");
    const bool negative = value < 0.0f;
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, std::fabs(static_cast<double>(value)),
                      std::chars_format::scientific, 14);
    const std::string_view text(digits, static_cast<std::size_t>(result.ptr - digits));
    const auto e = text.find('e');
    const int exponent = std::stoi(std::string(text.substr(e + 1)));
    std::string exponentText = std::to_string(std::abs(exponent));  // at most 3 digits
    exponentText.insert(0, 4 - std::min<std::size_t>(4, exponentText.size()), '0');
    std::string line(negative ? "-" : " ");
    line += text.substr(0, e);
    line += 'E';
    line += exponent < 0 ? '-' : '+';
    line += exponentText;
    return line;
}

// A number token in any real syntax with "." as decimal separator ("1", "1.5", "-2e3", "+.5");
// "inf" and "nan" are accepted so that what SaveTimbre writes reads back. False when the token
// is not a number.
bool ParseValue(std::string_view token, float& value) {
    if (!token.empty() && token.front() == '+') {
        token.remove_prefix(1);
        if (!token.empty() && (token.front() == '+' || token.front() == '-')) return false;
    }
    if (token.empty()) return false;
    double v = 0.0;
    const auto result =
        std::from_chars(token.data(), token.data() + token.size(), v, std::chars_format::general);
    if (result.ptr != token.data() + token.size()) return false;
    const bool negative = token.front() == '-';
    if (result.ec == std::errc::result_out_of_range) {
        // Only an exponent can leave the double range: a negative one underflows to 0.
        const auto e = token.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < token.size() && token[e + 1] == '-';
        v = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        if (negative) v = -v;
    } else if (result.ec != std::errc()) {
        return false;
    }
    if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max())
        v = negative ? -std::numeric_limits<double>::infinity()
                     : std::numeric_limits<double>::infinity();
    value = static_cast<float>(v);
    return true;
}

// Reads a regular file byte by byte through a buffer; read failures raise IoError.
class FileReader {
  public:
    explicit FileReader(const std::filesystem::path& file)
        : file_(file), fd_(OpenRegularFileForReading(file, nullptr)) {}

    // The next byte, or -1 at the end of the file.
    int Peek() {
        if (next_ == end_ && !Fill()) return -1;
        return static_cast<unsigned char>(buffer_[next_]);
    }
    int Get() {
        const int ch = Peek();
        if (ch >= 0) ++next_;
        return ch;
    }

  private:
    bool Fill() {
        end_ = ReadFullyAt(fd_.Get(), buffer_, sizeof buffer_, offset_, file_);
        offset_ += end_;
        next_ = 0;
        return end_ > 0;
    }

    std::filesystem::path file_;
    FileDescriptor fd_;
    char buffer_[4096];
    std::uint64_t offset_ = 0;
    std::size_t next_ = 0;
    std::size_t end_ = 0;
};

char Lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

}  // namespace

const BandTable& BuiltInTable(BuiltInTimbre timbre) {
    switch (timbre) {
        case BuiltInTimbre::Split:
            return SplitTable;
        case BuiltInTimbre::Premaster:
            return PremasterTable;
        case BuiltInTimbre::Drum:
            return DrumTable;
        case BuiltInTimbre::Pop:
            return PopTable;
        case BuiltInTimbre::Clear:
            break;
    }
    return ClearTable;
}

std::optional<BuiltInTimbre> TimbreByName(std::string_view name) {
    static constexpr std::pair<std::string_view, BuiltInTimbre> names[] = {
        {"clear", BuiltInTimbre::Clear},
        {"split", BuiltInTimbre::Split},
        {"premaster", BuiltInTimbre::Premaster},
        {"drum", BuiltInTimbre::Drum},
        {"pop", BuiltInTimbre::Pop},
    };
    for (const auto& [known, timbre] : names) {
        if (known.size() != name.size()) continue;
        if (std::equal(known.begin(), known.end(), name.begin(),
                       [](char a, char b) { return a == Lower(b); }))
            return timbre;
    }
    return std::nullopt;
}

void BandsToSpectrum(BandTable bands, BinSpectrum& out) {
    for (int i = 0; i < BandCount; ++i)
        bands[i] = static_cast<float>(static_cast<long double>(bands[i]) * BaseSlope(i));
    const auto& x = TimbreBandPositions();
    for (int k = 1; k < SpectrumBins; ++k) {
        const int j = TimbreBandAt(x[k]);
        const double d = x[k] + 1.0 - j;
        const int n = d >= 0.0 ? j + 1 : j - 1;
        const double c = std::cos(std::numbers::pi * d);
        const double here = bands[j];
        const double there = bands[n];
        out[k] = static_cast<float>((c * (here - there) + (here + there)) / 2.0);
    }
    out[0] = 0.0f;
}

void BandsToSpectrumKeepingMeans(BandTable bands, BinSpectrum& out) {
    std::array<double, BandCount> wanted{};
    std::array<double, BandCount> node{};
    for (int i = 0; i < BandCount; ++i) {
        wanted[i] = static_cast<double>(static_cast<long double>(bands[i]) * BaseSlope(i));
        if (!(wanted[i] > 0.0 && std::isfinite(wanted[i]))) {  // no logarithm to interpolate
            BandsToSpectrum(bands, out);
            return;
        }
        node[i] = std::log(wanted[i]);
    }
    const auto& x = TimbreBandPositions();
    auto interpolate = [&] {
        for (int k = 1; k < SpectrumBins; ++k) {
            const int j = TimbreBandAt(x[k]);
            const double d = x[k] + 1.0 - j;
            const int n = d >= 0.0 ? j + 1 : j - 1;
            const double c = std::cos(std::numbers::pi * d);
            out[k] =
                static_cast<float>(std::exp((c * (node[j] - node[n]) + (node[j] + node[n])) / 2.0));
        }
        out[0] = 0.0f;
    };
    // Each round moves every band's mean, as SaveTimbre takes it, towards its stored value.
    for (int round = 0; round < 12; ++round) {
        interpolate();
        std::array<double, BandCount> sum{};
        std::array<int, BandCount> count{};
        for (int k = 1; k < SpectrumBins; ++k) {
            const int j = TimbreBandAt(x[k]);
            sum[j] += out[k];
            ++count[j];
        }
        for (int j = 1; j < BandCount; ++j)
            if (count[j] > 0) node[j] += std::log(wanted[j] * count[j] / sum[j]);
    }
    interpolate();
}

void SaveTimbre(const BinSpectrum& spectrum, const std::filesystem::path& file) {
    std::array<float, BandCount> sum{};
    std::array<std::int32_t, BandCount> count{};
    const auto& x = TimbreBandPositions();
    for (int k = 1; k < SpectrumBins; ++k) {
        const int j = TimbreBandAt(x[k]);
        sum[j] += spectrum[k];
        ++count[j];
    }
    for (int j = 1; j <= 60; ++j)
        sum[j] = count[j] > 0 ? sum[j] / static_cast<float>(count[j]) : sum[j - 1];
    sum[0] = sum[1];
    sum[61] = sum[60];
    std::string text;
    for (int j = 0; j < BandCount; ++j) {
        text += ValueText(static_cast<float>(static_cast<long double>(sum[j]) / BaseSlope(j)));
        text += "\r\n";
    }

    AtomicFileWriter writer(file);
    writer.Write(text.data(), text.size());
    writer.Commit();
}

void LoadTimbre(BinSpectrum& out, const std::filesystem::path& file, bool keepBandMeans) {
    BandTable bands{};
    {
        FileReader in(file);
        auto isBlank = [](int ch) { return ch >= 0 && ch <= ' '; };
        for (int i = 0; i < BandCount; ++i) {
            // The next token: blanks and line ends before it are skipped.
            while (isBlank(in.Peek())) in.Get();
            if (in.Peek() < 0) break;  // the missing values read as 0
            std::string token;
            while (token.size() < MaxToken && in.Peek() > ' ')
                token.push_back(static_cast<char>(in.Get()));
            if (!ParseValue(token, bands[i]))
                throw IoError("Invalid number \"" + token + "\" in " + file.string());
            // The rest of the line.
            int ch;
            while ((ch = in.Get()) >= 0 && ch != '\n' && ch != '\r') {
            }
            if (ch == '\r' && in.Peek() == '\n') in.Get();
        }
    }
    if (keepBandMeans)
        BandsToSpectrumKeepingMeans(bands, out);
    else
        BandsToSpectrum(bands, out);
}

std::vector<std::string> ListTimbres(const std::vector<std::filesystem::path>& folders) {
    static constexpr std::string_view extension = ".sts";
    std::vector<std::string> names;
    for (const auto& folder : folders) {
        std::error_code ec;
        std::filesystem::directory_iterator it(folder, ec);
        for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
            std::error_code typeError;
            if (!it->is_regular_file(typeError)) continue;
            const std::string name = it->path().filename().string();
            if (name.size() <= extension.size() ||
                name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
                continue;
            names.push_back(name.substr(0, name.size() - extension.size()));
        }
    }
    SortWithoutCase(names);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace sv
