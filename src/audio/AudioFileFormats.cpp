#include "audio/AudioFileFormats.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "audio/SoundFileExport.h"
#include "audio/SoundFileImport.h"
#include "base/AtomicFileWriter.h"
#include "base/IoError.h"

namespace sv {

namespace {

SaveResult RefuseUnsavableName(const std::filesystem::path& fileName) {
    const std::string ext = fileName.extension().string();
    const std::string why = IsSoundFileExtension(fileName) ? ext + " files are read but not written"
                            : ext.empty()                  ? "the name has no extension"
                                                           : "no format is written under " + ext;
    return SaveResult::Failed(
        "Cannot save " + fileName.string() + ": " + why + "; choose .wav, .flac, .aiff or .ogg",
        EINVAL);
}

}  // namespace

bool IsReadableAudioFileName(const std::filesystem::path& fileName) {
    const std::string ext = LowerExtension(fileName);
    return ext == ".wav" || IsSoundFileExtension(fileName);
}

bool IsSavableAudioFileName(const std::filesystem::path& fileName) {
    return LowerExtension(fileName) == ".wav" || IsSoundFileExportExtension(fileName);
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

SaveResult CheckAudioSaveTarget(const std::filesystem::path& fileName) {
    if (!IsSavableAudioFileName(fileName)) return RefuseUnsavableName(fileName);
    if (IsWriteProtected(fileName))
        return SaveResult::Failed("Cannot save " + fileName.string() + ": " + std::strerror(EACCES),
                                  EACCES);
    try {
        CheckSaveTarget(fileName);
    } catch (const IoError& error) {
        return SaveResult::Failed(error.what(), error.Code());
    }
    return SaveResult::Done();
}

SaveResult CheckAudioSaveLayout(const std::filesystem::path& fileName, int channels, int sampleRate,
                                SampleEncoding encoding) {
    const std::string problem = SoundFileLayoutProblem(fileName, channels, sampleRate, encoding);
    if (problem.empty()) return SaveResult::Done();
    return SaveResult::Failed("Cannot save " + fileName.string() + ": " + problem, EINVAL);
}

SaveResult SaveAudioFile(Wave& wave, const std::filesystem::path& fileName,
                         std::span<const float> channelGains) {
    if (IsSoundFileExportExtension(fileName)) return ExportSoundFile(wave, fileName, channelGains);
    if (!IsSavableAudioFileName(fileName)) return RefuseUnsavableName(fileName);
    return wave.SaveToFile(fileName, channelGains);
}

}  // namespace sv
