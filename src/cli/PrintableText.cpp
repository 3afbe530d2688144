#include "cli/PrintableText.h"

namespace sv::cli {

namespace {

// The length of the printable UTF-8 character at the start of text, 0 when there is none.
std::size_t PrintableCharacterLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return lead >= 0x20 && lead != 0x7f ? 1 : 0;
    std::size_t length = 0;
    char32_t code = 0;
    if ((lead & 0xe0) == 0xc0) {
        length = 2;
        code = lead & 0x1f;
    } else if ((lead & 0xf0) == 0xe0) {
        length = 3;
        code = lead & 0x0f;
    } else if ((lead & 0xf8) == 0xf0) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3f);
    }
    static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid =
        code >= Smallest[length] && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
    // U+0080..U+009F are control characters too (0x9b starts an escape sequence on some
    // terminals).
    return valid && code >= 0xa0 ? length : 0;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string printable;
    printable.reserve(text.size());
    while (!text.empty()) {
        if (const std::size_t length = PrintableCharacterLength(text); length > 0) {
            printable.append(text.substr(0, length));
            text.remove_prefix(length);
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[0]);
        printable += "\\x";
        printable += Digits[byte >> 4];
        printable += Digits[byte & 15];
        text.remove_prefix(1);
    }
    return printable;
}

}  // namespace sv::cli
