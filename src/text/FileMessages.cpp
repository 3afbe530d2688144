#include "text/FileMessages.h"

#include "text/Language.h"

namespace sv {

std::string LoadRefusalMessage(LoadOutcome outcome, const std::string& reason,
                               const std::filesystem::path& workFolder) {
    const auto& t = Texts();
    switch (outcome) {
        case LoadOutcome::Loaded:
            return {};
        case LoadOutcome::TooShort:
            return t.TooShortMessage;
        case LoadOutcome::LowDiskSpace: {
            // A relative folder ("tfs/") would read as a word of the sentence.
            std::error_code ec;
            const auto absolute = std::filesystem::absolute(workFolder, ec);
            std::string folder = (ec ? workFolder : absolute.lexically_normal()).string();
            if (folder.empty() || folder.back() != '/') folder += '/';
            return t.LowDiskSpacePrefix + " " + folder + " " + t.LowDiskSpaceSuffix;
        }
        case LoadOutcome::NotPcm:
            break;
    }
    return reason.empty() ? t.NotPcmMessage : t.NotPcmMessage + ": " + reason;
}

std::string ReadingCaption() { return Texts().ReadingTitle; }
std::string SavingCaption() { return Texts().SavingTitle; }

}  // namespace sv
