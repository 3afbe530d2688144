#pragma once
// A language.ini holding every key with its built-in English default: the starting point for
// translators.
#include <string>

namespace sv::demo {

std::string LanguageIniSample();

}  // namespace sv::demo
