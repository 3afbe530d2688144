#pragma once
// What a shell command prints on stdout, for tests that check files with sox, soxi or ffmpeg.
#include <cstdio>
#include <string>

namespace sv::test {

// Trailing line ends and blanks are dropped, so one-value outputs compare directly.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    ::pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

}  // namespace sv::test
