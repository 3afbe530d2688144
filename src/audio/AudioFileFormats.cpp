#include "audio/AudioFileFormats.h"

#include <cerrno>
#include <string>

#include "audio/SoundFileExport.h"
#include "audio/SoundFileImport.h"

namespace sv {

bool IsReadableAudioFileName(const std::filesystem::path& fileName) {
    const std::string ext = LowerExtension(fileName);
    return ext == ".wav" || IsSoundFileExtension(fileName);
}

bool IsSavableAudioFileName(const std::filesystem::path& fileName) {
    return !IsSoundFileExtension(fileName) || IsSoundFileExportExtension(fileName);
}

std::string ContainerName(const std::filesystem::path& fileName) {
    const std::string ext = LowerExtension(fileName);
    if (ext == ".flac") return "FLAC";
    if (ext == ".ogg" || ext == ".oga") return "Ogg Vorbis";
    if (ext == ".aif" || ext == ".aiff") return "AIFF";
    if (ext == ".mp3") return "MP3";
    return "WAV";
}

std::filesystem::path SavableName(const std::filesystem::path& fileName) {
    if (IsSavableAudioFileName(fileName)) return fileName;
    return std::filesystem::path(fileName).replace_extension(".wav");
}

LoadResult OpenAudioFile(const std::filesystem::path& fileName, const WaveEnvironment& env) {
    return IsSoundFileExtension(fileName) ? ImportSoundFile(fileName, env)
                                          : Wave::CreateFromFile(fileName, env);
}

SaveResult SaveAudioFile(Wave& wave, const std::filesystem::path& fileName,
                         std::span<const float> channelGains) {
    if (IsSoundFileExportExtension(fileName)) return ExportSoundFile(wave, fileName, channelGains);
    if (!IsSavableAudioFileName(fileName))
        return SaveResult::Failed("Cannot save " + fileName.string() + ": " +
                                      fileName.extension().string() +
                                      " files are read but not written; choose .wav, .flac, "
                                      ".aiff or .ogg",
                                  EINVAL);
    return wave.SaveToFile(fileName, channelGains);
}

}  // namespace sv
