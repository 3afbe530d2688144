#include "text/Language.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace sv {

namespace {

#define SV_LANGUAGE_ROW(section, key, member, text) \
    LanguageKey{#section, key, text, &LanguageTexts::member},
constexpr LanguageKey kKeys[] = {SV_LANGUAGE_KEYS(SV_LANGUAGE_ROW)};
#undef SV_LANGUAGE_ROW

// A real language file is a few hundred KiB at most; anything far larger is not one, and
// refusing it keeps a stray huge file from exhausting memory at start-up.
constexpr std::size_t kMaxFileBytes = 64u << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return DropTrailingBlanks(text);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = LowerAscii(c);
    return lower;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// ---- text encoding ---------------------------------------------------------------------------

// Length of the well-formed UTF-8 sequence starting at pos, or 0 if there is none (overlong
// forms, surrogates and code points beyond U+10FFFF are not well-formed).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;  // bounds of the second byte; the later ones are always 80..BF
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (length > text.size() - pos) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char b = byte(pos + i);
        if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, pos);
        if (length == 0) return false;
        pos += length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A file marked as UTF-8 keeps its marking: broken sequences become U+FFFD.
std::string RepairUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, pos);
        if (length == 0) {
            AppendUtf8(out, U'\uFFFD');
            ++pos;
        } else {
            out.append(text, pos, length);
            pos += length;
        }
    }
    return out;
}

// Bytes 80..9F of Windows-1252; the five unassigned ones map to the C1 controls of the same
// value, as browsers do, so that no byte is lost.
constexpr std::array<char16_t, 32> kCp1252High = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};

std::string DecodeWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
    }
    return out;
}

// Translators save with whatever their editor offers: UTF-8 with or without a byte order mark,
// or the Windows ANSI code page the original files were written in.
std::string DecodeFile(std::string_view bytes) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (bytes.starts_with(kBom)) return RepairUtf8(bytes.substr(kBom.size()));
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return DecodeWindows1252(bytes);
}

// Cuts valid UTF-8 text after maxChars code points, never inside a sequence.
std::string_view CutToChars(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if ((static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) continue;
        if (chars == maxChars) return text.substr(0, pos);
        ++chars;
    }
    return text;
}

// ---- reading the file --------------------------------------------------------------------------

// False when the file cannot be read to its end; half a file is not used.
bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.c_str(), "rb"),
                                                             &std::fclose);
    if (!in) return false;
    std::vector<char> chunk(1 << 16);
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), in.get())) > 0) {
        bytes.append(chunk.data(), got);
        if (bytes.size() > kMaxFileBytes) return false;
    }
    return std::ferror(in.get()) == 0;  // a folder opens but fails to read
}

const LanguageKey* FindKey(std::string_view key) {
    static const auto byLowerName = [] {
        std::unordered_map<std::string, const LanguageKey*> index;
        for (const LanguageKey& row : kKeys) index.emplace(LowerAscii(row.Key), &row);
        return index;
    }();
    constexpr std::size_t kLongestKey = 32;  // longer names are garbage; skip the lowering
    if (key.size() > kLongestKey) return nullptr;
    const auto found = byLowerName.find(LowerAscii(key));
    return found == byLowerName.end() ? nullptr : found->second;
}

std::string_view UnquoteValue(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

void ApplyIni(std::string_view text, LanguageTexts& texts) {
    std::vector<bool> taken(std::size(kKeys), false);
    std::string_view section;  // none before the first header: such keys are not found
    while (!text.empty()) {
        // CR, LF and CRLF all end a line; the empty lines this yields are skipped below.
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = TrimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;

        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = TrimBlanks(line.substr(1, line.size() - 2));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;

        const LanguageKey* row = FindKey(TrimBlanks(line.substr(0, equals)));
        if (row == nullptr || !EqualsIgnoringCase(row->Section, section)) continue;
        const auto index = static_cast<std::size_t>(row - kKeys);
        if (taken[index]) continue;  // the first occurrence counts
        taken[index] = true;
        const std::string_view value = UnquoteValue(TrimBlanks(line.substr(equals + 1)));
        texts.*(row->Member) = CutToChars(value, MaxTextLength);
    }
}

}  // namespace

const std::string* LanguageTexts::Find(std::string_view key) const {
    const LanguageKey* row = FindKey(key);
    return row == nullptr ? nullptr : &(this->*(row->Member));
}

std::span<const LanguageKey> LanguageKeys() { return kKeys; }

LanguageTexts& MutableTexts() {
    static LanguageTexts texts;
    return texts;
}

const LanguageTexts& Texts() { return MutableTexts(); }

void LoadLanguageFrom(const std::filesystem::path& iniFile, LanguageTexts& texts) {
    texts = LanguageTexts{};
    std::string bytes;
    if (!ReadWholeFile(iniFile, bytes)) return;
    ApplyIni(DecodeFile(bytes), texts);
}

void LoadLanguage() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        MutableTexts() = LanguageTexts{};
        return;
    }
    LoadLanguageFrom(executable.parent_path() / "language.ini", MutableTexts());
}

}  // namespace sv
