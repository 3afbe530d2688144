#pragma once
// The language table: every text the user sees, by key, with its built-in English default.
// The table is filled once at start from language.ini beside the executable (LoadLanguage) and
// read everywhere else through Texts(). Texts are held as UTF-8.
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// Every key: X(section, Key, "English default"). The section is the language.ini section the
// key is read from. Help texts not yet written in full hold their opening words.
#define SV_LANGUAGE_KEYS(X) \
    /* [main] captions, hints, labels and messages of the main window */ \
    X(main, CaFile, "File") \
    X(main, HiFile, "Input/Output commands") \
    X(main, CaOpen, "Open") \
    X(main, HiOpen, "Open file") \
    X(main, CaRevToSav, "Return to saved") \
    X(main, HiRevToSav, "Reopen last active file") \
    X(main, CaSave, "Save") \
    X(main, HiSave, "Save file") \
    X(main, CaSaveAs, "Save As ...") \
    X(main, HiSaveAs, "Save file with specified name") \
    X(main, CaEnd, "Exit") \
    X(main, HiEnd, "Finish program") \
    X(main, CaFilter, "Filters") \
    X(main, HiFilter, "Commands for transformation and filtration") \
    X(main, CaRemaster, "Remaster It") \
    X(main, HiRemaster, "Remaster file with selected settings") \
    X(main, CaBatch, "Batch") \
    X(main, HiBatch, "Multiple files processing") \
    X(main, CaNormalize, "Normalize") \
    X(main, HiNormalize, "Optimize volume level to standard") \
    X(main, CaRemNoise, "Remove noise") \
    X(main, HiRemNoise, "Remove noise with selected settings") \
    X(main, CaRemast, "Frequency and dynamic levelling") \
    X(main, HiRemast, "Main method program - processing according election sound timbre") \
    X(main, CaRemPeek, "Fit peak") \
    X(main, HiRemPeek, "Balance volume peaks with selected settings") \
    X(main, CaDetekt, "Detect") \
    X(main, HiDetekt, "Locate sound timbre of active file") \
    X(main, CaHelp, "Help") \
    X(main, CaTopic, "Help") \
    X(main, HiTopic, "Complex application help") \
    X(main, CaAbout, "About") \
    X(main, HiAbout, "Version etc.") \
    X(main, CaEdit, "Edit") \
    X(main, HiEdit, "Edit commands") \
    X(main, CaLupVerPlus, "Vertical zoom in") \
    X(main, HiLupVerPlus, "Magnify vertical zoom of preview") \
    X(main, CaLupVerMinus, "Vertical zoom out") \
    X(main, HiLupVerMinus, "Reduce vertical zoom of preview") \
    X(main, CaLupVer, "Vertical zoom to normal") \
    X(main, HiLupVer, "Set vertical zoom of preview to full dynamic range") \
    X(main, CaLupHorPlus, "Horizontal zoom in") \
    X(main, HiLupHorPlus, "Magnify horizontal zoom of preview") \
    X(main, CaLupHorMinus, "Horizontal zoom out") \
    X(main, HiLupHorMinus, "Reduce horizontal zoom of preview") \
    X(main, CaLupHor, "Horizontal zoom to full view") \
    X(main, HiLupHor, "Set horizontal zoom of preview to full wave") \
    X(main, CaDel, "Delete") \
    X(main, HiDel, "Delete selected block") \
    X(main, CaTypRemast, "Type of remastering") \
    X(main, HiTypRemast, "Remastering settings") \
    X(main, CaPrum, "Both channels") \
    X(main, HiPrum, "Process both channels equally") \
    X(main, CaStereo, "Separate channels") \
    X(main, HiStereo, "Process channels separately") \
    X(main, CaWeight, "Partial separation") \
    X(main, HiWeight, "Partial separation of channels (half way between above selections)") \
    X(main, CaStress, "To weight") \
    X(main, HiStress, "Remaster according average value of band") \
    X(main, CaMedi, "Between weight and peek") \
    X(main, HiMedi, "Remaster according medium of average value and peek value of band") \
    X(main, CaPeek, "To peek") \
    X(main, HiPeek, "Remaster according peek value of band") \
    X(main, HiTrack, "Can be select five steps, three main and two halfway steps.") \
    X(main, CaColorNoise, "Sound timbre") \
    X(main, HiColorNoise, "Select target timbre") \
    X(main, CaClear, "Clear") \
    X(main, HiClear, "Frequency balanced sound") \
    X(main, CaSplit, "Split") \
    X(main, HiSplit, "Sharpen sound timbre with more striking treble") \
    X(main, CaPremaster, "Premaster") \
    X(main, HiPremaster, "Balanced sound with fresh spectrum modulation") \
    X(main, CaDrum, "Present drum") \
    X(main, HiDrum, "Present and increase drum sound") \
    X(main, CaPop, "Pop") \
    X(main, HiPop, "Increased bass and treble dynamics") \
    X(main, CaRaDetect, "From example") \
    X(main, HiRaDetect, "Application of example timbre") \
    X(main, CaAditional, "Additional setting") \
    X(main, HiAditional, "Settings for additional processing in remastering") \
    X(main, CaHiPass, "Highpass") \
    X(main, HiHiPass, "Determine frequency limit - frequencies below the limit will be surpressed") \
    X(main, CaLoPass, "Lowpass") \
    X(main, HiLoPass, "Determine frequency limit - frequencies above the limit will be surpressed") \
    X(main, CaL1, "Precision") \
    X(main, CaL4, "pieces") \
    X(main, CaL5, "blocks") \
    X(main, CaL7, "seconds") \
    X(main, CaL8, "bands") \
    X(main, CaL9, "Limitation") \
    X(main, CaL10, "times") \
    X(main, CaL11, "Border size") \
    X(main, CaL12, "points") \
    X(main, CaL15, "Target frequency spectrum") \
    X(main, CaL16, "Length") \
    X(main, CaL17, "Start block") \
    X(main, CaL18, "End block") \
    X(main, CaL19, "Length block") \
    X(main, CaTab1, "Samples") \
    X(main, CaTab2, "Seconds") \
    X(main, CaStatBar0, "Sample number") \
    X(main, CaStatBar1, "Channels") \
    X(main, CaStatBar2, "Sample rate") \
    X(main, CaStatBar3, "Bits per sample") \
    X(main, CaStatBar4, "Name") \
    X(main, CaDataNeuloz, "Data are not saved, save it?") \
    X(main, CaUpravZtrac, "All modifications will be lost, continue?") \
    X(main, CaNutDetect, "Detect sound timbre example first!") \
    X(main, CaSoubZadJmen, "File with specified name") \
    X(main, CaNeExist, "doesn't exists!") \
    X(main, CaLBit, "bits") \
    X(main, CaNePCM, "File is not in PCM format or is damaged") \
    X(main, CaDatNoSave, "Save data failure (insufficient disk space or write protected medium)") \
    X(main, CaFilTx, "File") \
    X(main, CaJeChrWrite, "is write protected, select another filename") \
    X(main, CaExistOwerWrit, "already exist, overwrite?") \
    X(main, CaMusZad, "You must enter timbre name") \
    X(main, CaChceSmaz, "Would you erase") \
    X(main, CaChcePrep, "Would you overwrite") \
    X(main, HiDelFreq, "Erase stored timbre") \
    X(main, HiSaveFreq, "Save detected timbre") \
    X(main, CaNeprZn, "Name contains non-permissible characters") \
    X(main, CaMmnd, "Low disk space") \
    X(main, CaPpv, "for needs calculation") \
    X(main, CaMaly, "Sample is too short for this method") \
    /* [Wav] progress titles of reading and saving */ \
    X(Wav, CaReading, "Reading") \
    X(Wav, CaWriting, "Saving") \
    /* [time] label of the progress window */ \
    X(time, CaTiRem, "Estimated time remaining") \
    /* [filters] progress titles of the processing stages */ \
    X(filters, CaNormaDetect, "Normalizing detection") \
    X(filters, CaNormalizing, "Normalizing") \
    X(filters, CaDetection, "Remastering detection") \
    X(filters, CaRemastering, "Remastering") \
    X(filters, CaNoiseDetect, "Noise detection") \
    X(filters, CaNoiseRemove, "Noise removal") \
    X(filters, CaPeekDetect, "Peeks detection") \
    X(filters, CaPeekFit, "Peeks fitting") \
    /* [batch] batch window */ \
    X(batch, CaOnEqualTar, "When target filename already exists") \
    X(batch, HiOnEqualTar, "Determine whether existing file will be overwritten") \
    X(batch, CaRename, "Rename") \
    X(batch, HiRename, "File will be renamed") \
    X(batch, CaOwerwrite, "Overwrite") \
    X(batch, HiOwerwrite, "File will be overwritten") \
    X(batch, CaDo, "Make") \
    X(batch, HiDo, "Start batch processing") \
    X(batch, CaStorno, "Cancel") \
    X(batch, CaSource, "Source directory") \
    X(batch, CaDestination, "Target directory") \
    /* [UHelp] help topic titles and help texts */ \
    X(UHelp, CaMenu1, "Technical parameters") \
    X(UHelp, CaMenu11, "Characteristics of used method") \
    X(UHelp, CaMenu2, "Program requirements ") \
    X(UHelp, CaHelp11, "Open item enables to open sound files") \
    X(UHelp, CaHelp12, "It reload sample from drive to memory") \
    X(UHelp, CaHelp13, "It saves sample in memory to drive") \
    X(UHelp, CaHelp14, "It saves sample in memory to drive") \
    X(UHelp, CaHelp15, "Finish program. It cause the same behavior") \
    X(UHelp, CaHelp2, "Batch means multiple file processing from selected") \
    X(UHelp, CaHelp31, "Filter searches the maximal volume in sample") \
    X(UHelp, CaHelp32, "Remove noise from sample in whole spectrum") \
    X(UHelp, CaHelp33, "This filter finds selected number of largest") \
    X(UHelp, CaHelp34, "Starts remastering according of all additional setting") \
    X(UHelp, CaHelp35, "It searches sound quality of example, which") \
    X(UHelp, CaHelp41, "It applies selected trimble to both channels") \
    X(UHelp, CaHelp42, "It applies selected trimble on every channel") \
    X(UHelp, CaHelp43, "This setting is option between previous two. It preserves advantages of both.") \
    X(UHelp, CaHelp44, "Limitation is setting, which taking changes more") \
    X(UHelp, CaHelp45, "Precission sets up how deeply the sample") \
    X(UHelp, CaHelp46, "Remaster according average value of band (recomended for preset parametr of sound timbre)") \
    X(UHelp, CaHelp47, "Remaster according medium of average value and peek value of band (recomended for all parametr of sound timbre)") \
    X(UHelp, CaHelp48, "Remaster according peek value of band (recomended for \"from example\" parametr of sound timbre)") \
    X(UHelp, CaHelp51, "Sound is well-balanced without tint. Suitable mainly for well coloured recordings.") \
    X(UHelp, CaHelp52, "Sound is sharper with significant trebles. Suitable for rock.") \
    X(UHelp, CaHelp53, "Sound is enriched with errors, which may revive recording.") \
    X(UHelp, CaHelp54, "Bold drum in dynamics alsoin answer.") \
    X(UHelp, CaHelp55, "Solid dynamics. Stronger higher harmonious frequencies.") \
    X(UHelp, CaHelp56, "Sound timbre from example. Example could be") \
    X(UHelp, CaHelp611, "It determines number of equally large blocks") \
    X(UHelp, CaHelp612, "Sets up level of noise to be") \
    X(UHelp, CaHelp613, "Sets up length of block in seconds") \
    X(UHelp, CaHelp621, "Sets up number of peaks, which will be reduced according to method described in filters.") \
    X(UHelp, CaHelp622, "Sets up size of peaks border in samples, whereon (gausian) reduction and peak balancing will be aplicated.") \
    X(UHelp, CaHelp63, "Indicates if the recording will be normalized during remastering.") \
    X(UHelp, CaHelp641, "Sets up boundary frequency, under which will") \
    X(UHelp, CaHelp642, "Sets up speed of volume rise in the frame of one octave.") \
    X(UHelp, CaHelp651, "Sets up frequency, above which will all") \
    X(UHelp, CaHelp652, "Sets reduction speed of volume in the frame of one octave.") \
    X(UHelp, CaHelp7, "Program is using for all calculation 32") \
    X(UHelp, CaHelp71, "The main method of program isn't as") \
    X(UHelp, CaHelp8, "Program hasn't no special demands on hardware")

namespace sv {

// A value longer than this (in characters, i.e. code points) is cut to it.
inline constexpr std::size_t MaxTextLength = 2047;

// Defaults are written as the translator sees them; trailing blanks never reach the user, just
// as for values read from the file.
constexpr std::string_view DropTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

struct TTexts {
#define SV_LANGUAGE_MEMBER(section, key, text) std::string key{DropTrailingBlanks(text)};
    SV_LANGUAGE_KEYS(SV_LANGUAGE_MEMBER)
#undef SV_LANGUAGE_MEMBER

    // The text of the key with this name (compared without regard to case); null if unknown.
    const std::string* Find(std::string_view key) const;

    bool operator==(const TTexts&) const = default;
};

// One row of the table: where the key lives in language.ini and which text it fills.
struct TLanguageKey {
    std::string_view Section;
    std::string_view Key;
    std::string_view Default;  // as written in the table, before trailing blanks are dropped
    std::string TTexts::*Member;
};

// All keys in table order.
std::span<const TLanguageKey> LanguageKeys();

// The program-wide texts. They hold the defaults until LoadLanguage runs.
const TTexts& Texts();
TTexts& MutableTexts();

// Fills the program-wide texts from language.ini in the folder of the running executable.
// A missing or unreadable file leaves every text at its default, silently.
void LoadLanguage();

// Fills texts from the given file: every key it gives correctly, every other key its default.
void LoadLanguageFrom(const std::filesystem::path& iniFile, TTexts& texts);

}  // namespace sv
