#include "audio/FileMetadata.h"

#include <algorithm>
#include <cstring>

namespace sv {

namespace {

struct TagNames {
    TagKind kind;
    const char* name;
    const char* infoId;  // null: INFO has no field for it
};

constexpr TagNames Names[TagKindCount] = {
    {TagKind::Title, "title", "INAM"},       {TagKind::Artist, "artist", "IART"},
    {TagKind::Album, "album", "IPRD"},       {TagKind::Date, "date", "ICRD"},
    {TagKind::Comment, "comment", "ICMT"},   {TagKind::Copyright, "copyright", "ICOP"},
    {TagKind::Software, "software", "ISFT"}, {TagKind::TrackNumber, "tracknumber", "ITRK"},
    {TagKind::Genre, "genre", "IGNR"},       {TagKind::License, "license", nullptr},
};

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Append(std::vector<unsigned char>& out, const void* bytes, std::size_t count) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    out.insert(out.end(), p, p + count);
}

}  // namespace

const char* TagName(TagKind kind) { return Names[static_cast<int>(kind)].name; }

bool RiffChunk::Is(const char* id) const { return std::memcmp(Id.data(), id, 4) == 0; }

void FileMetadata::NoteProcessing(const std::string& what) {
    if (Processing.empty() || Processing.back() != what) Processing.push_back(what);
}

std::vector<std::pair<TagKind, std::string>> TagsOfInfoList(const RiffChunk& list) {
    std::vector<std::pair<TagKind, std::string>> tags;
    const auto& body = list.Body;
    if (!list.Is("LIST") || body.size() < 4 || std::memcmp(body.data(), "INFO", 4) != 0)
        return tags;
    for (std::size_t pos = 4; pos + 8 <= body.size();) {
        const std::uint32_t size = Le32(&body[pos + 4]);
        const std::size_t available = std::min<std::size_t>(size, body.size() - pos - 8);
        const char* text = reinterpret_cast<const char*>(body.data() + pos + 8);
        std::string value(text, strnlen(text, available));  // NUL-terminated, maybe padded
        for (const TagNames& n : Names)
            if (n.infoId && std::memcmp(&body[pos], n.infoId, 4) == 0 && !value.empty() &&
                std::none_of(tags.begin(), tags.end(),
                             [&](const auto& tag) { return tag.first == n.kind; }))
                tags.emplace_back(n.kind, value);
        pos += 8 + static_cast<std::size_t>(size) + (size & 1);
    }
    return tags;
}

RiffChunk InfoListOfTags(const std::vector<std::pair<TagKind, std::string>>& tags) {
    RiffChunk list;
    std::memcpy(list.Id.data(), "LIST", 4);
    list.AfterData = true;
    std::vector<unsigned char> fields;
    for (const auto& [kind, value] : tags) {
        const char* id = Names[static_cast<int>(kind)].infoId;
        if (!id || value.empty()) continue;
        const auto size = static_cast<std::uint32_t>(value.size() + 1);
        const unsigned char sizeBytes[4] = {
            static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
            static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
        Append(fields, id, 4);
        Append(fields, sizeBytes, 4);
        Append(fields, value.c_str(), size);
        if (size & 1) fields.push_back(0);
    }
    if (!fields.empty()) {
        Append(list.Body, "INFO", 4);
        Append(list.Body, fields.data(), fields.size());
    }
    return list;
}

}  // namespace sv
