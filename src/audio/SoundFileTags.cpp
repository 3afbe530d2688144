#include "audio/SoundFileTags.h"

namespace sv {

namespace {

constexpr int StringTypes[TagKindCount] = {
    SF_STR_TITLE,     SF_STR_ARTIST,   SF_STR_ALBUM,       SF_STR_DATE,  SF_STR_COMMENT,
    SF_STR_COPYRIGHT, SF_STR_SOFTWARE, SF_STR_TRACKNUMBER, SF_STR_GENRE, SF_STR_LICENSE,
};

}  // namespace

std::vector<std::pair<TagKind, std::string>> ReadSoundFileTags(SNDFILE* file) {
    std::vector<std::pair<TagKind, std::string>> tags;
    for (int k = 0; k < TagKindCount; ++k)
        if (const char* value = sf_get_string(file, StringTypes[k]); value && *value)
            tags.emplace_back(static_cast<TagKind>(k), value);
    return tags;
}

void WriteSoundFileTags(SNDFILE* file, const std::vector<std::pair<TagKind, std::string>>& tags) {
    for (const auto& [kind, value] : tags)
        sf_set_string(file, StringTypes[static_cast<int>(kind)], value.c_str());
}

}  // namespace sv
