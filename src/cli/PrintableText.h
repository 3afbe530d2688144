#pragma once
// Messages can quote what a file holds (a decoder's complaint, a header field) or a path with a
// line break in it. Printed as they are, such bytes could move a terminal's cursor, change its
// colours or split one message over lines; printed through this, they cannot.
#include <string>
#include <string_view>

namespace sv::cli {

// text with every byte that is not part of a printable UTF-8 character (control characters,
// invalid or overlong sequences) written as \xNN.
std::string PrintableText(std::string_view text);

}  // namespace sv::cli
