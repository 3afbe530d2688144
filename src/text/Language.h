#pragma once
// The language table: every text the user sees, by key, with its built-in English default.
// The table is filled once at start from language.ini beside the executable (LoadLanguage) and
// read everywhere else through Texts(). Texts are held as UTF-8.
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// Every key: X(section, "Key", Member, "English default"). The section and key are where
// language.ini gives the text (the keys are the file's interface and never change); the member
// is the text's name in the code.
// clang-format off
#define SV_LANGUAGE_KEYS(X) \
    /* [main] captions, hints, labels and messages of the main window */ \
    X(main, "CaFile", FileMenuCaption, "&File") \
    X(main, "HiFile", FileMenuHint, "Input/Output commands") \
    X(main, "CaOpen", OpenCaption, "Open") \
    X(main, "HiOpen", OpenHint, "Open file") \
    X(main, "CaRevToSav", ReturnToSavedCaption, "Return to saved") \
    X(main, "HiRevToSav", ReturnToSavedHint, "Reopen last active file") \
    X(main, "CaSave", SaveCaption, "Save") \
    X(main, "HiSave", SaveHint, "Save file") \
    X(main, "CaSaveAs", SaveAsCaption, "Save As ...") \
    X(main, "HiSaveAs", SaveAsHint, "Save file with specified name") \
    X(main, "CaEnd", ExitCaption, "Exit") \
    X(main, "HiEnd", ExitHint, "Finish program") \
    X(main, "CaFilter", FiltersMenuCaption, "F&ilters") \
    X(main, "HiFilter", FiltersMenuHint, "Commands for transformation and filtration") \
    X(main, "CaRemaster", RemasterCaption, "Remaster It") \
    X(main, "HiRemaster", RemasterHint, "Remaster file with selected settings") \
    X(main, "CaBatch", BatchCaption, "Batch") \
    X(main, "HiBatch", BatchHint, "Multiple files processing") \
    X(main, "CaNormalize", NormalizeCaption, "Normalize") \
    X(main, "HiNormalize", NormalizeHint, "Optimize volume level to standard") \
    X(main, "CaRemNoise", RemoveNoiseCaption, "Remove noise") \
    X(main, "HiRemNoise", RemoveNoiseHint, "Remove noise with selected settings") \
    X(main, "CaSmoothNoise", SmoothNoiseCaption, "Smooth") \
    X(main, "HiSmoothNoise", SmoothNoiseHint, \
      "Smooth noise removal: what remains of the noise stays noise-like, without tonal " \
      "bursts; prefer it for speech") \
    X(main, "CaRemast", LevellingCaption, "Frequency and dynamic levelling") \
    X(main, "HiRemast", LevellingHint, "Main method program - processing according election sound timbre") \
    X(main, "CaBandMeans", BandMeansCaption, "Band means") \
    X(main, "HiBandMeans", BandMeansHint, \
      "Level by band means: a stored timbre then levels like the recording it was detected " \
      "from") \
    X(main, "CaRemPeek", FitPeaksCaption, "Fit peak") \
    X(main, "HiRemPeek", FitPeaksHint, "Balance volume peaks with selected settings") \
    X(main, "CaDetekt", DetectCaption, "Detect") \
    X(main, "HiDetekt", DetectHint, "Locate sound timbre of active file") \
    X(main, "CaHelp", HelpMenuCaption, "&Help") \
    X(main, "CaTopic", HelpCaption, "Help") \
    X(main, "HiTopic", HelpHint, "Complex application help") \
    X(main, "CaAbout", AboutCaption, "About") \
    X(main, "HiAbout", AboutHint, "Version etc.") \
    X(main, "CaEdit", EditMenuCaption, "&Edit") \
    X(main, "HiEdit", EditMenuHint, "Edit commands") \
    X(main, "CaLupVerPlus", VerticalZoomInCaption, "Vertical zoom in") \
    X(main, "HiLupVerPlus", VerticalZoomInHint, "Magnify vertical zoom of preview") \
    X(main, "CaLupVerMinus", VerticalZoomOutCaption, "Vertical zoom out") \
    X(main, "HiLupVerMinus", VerticalZoomOutHint, "Reduce vertical zoom of preview") \
    X(main, "CaLupVer", VerticalZoomResetCaption, "Vertical zoom to normal") \
    X(main, "HiLupVer", VerticalZoomResetHint, "Set vertical zoom of preview to full dynamic range") \
    X(main, "CaLupHorPlus", HorizontalZoomInCaption, "Horizontal zoom in") \
    X(main, "HiLupHorPlus", HorizontalZoomInHint, "Magnify horizontal zoom of preview") \
    X(main, "CaLupHorMinus", HorizontalZoomOutCaption, "Horizontal zoom out") \
    X(main, "HiLupHorMinus", HorizontalZoomOutHint, "Reduce horizontal zoom of preview") \
    X(main, "CaLupHor", HorizontalZoomFullCaption, "Horizontal zoom to full view") \
    X(main, "HiLupHor", HorizontalZoomFullHint, "Set horizontal zoom of preview to full wave") \
    X(main, "CaDel", DeleteBlockCaption, "Delete") \
    X(main, "HiDel", DeleteBlockHint, "Delete selected block") \
    X(main, "CaTypRemast", RemasterTypeCaption, "Type of remastering") \
    X(main, "HiTypRemast", RemasterTypeHint, "Remastering settings") \
    X(main, "CaPrum", BothChannelsCaption, "Both channels") \
    X(main, "HiPrum", BothChannelsHint, "Process both channels equally") \
    X(main, "CaStereo", SeparateChannelsCaption, "Separate channels") \
    X(main, "HiStereo", SeparateChannelsHint, "Process channels separately") \
    X(main, "CaWeight", PartialSeparationCaption, "Partial separation") \
    X(main, "HiWeight", PartialSeparationHint, "Partial separation of channels (half way between above selections)") \
    X(main, "CaStress", BandAverageCaption, "To weight") \
    X(main, "HiStress", BandAverageHint, "Remaster according average value of band") \
    X(main, "CaMedi", BandMediumCaption, "Between weight and peek") \
    X(main, "HiMedi", BandMediumHint, "Remaster according medium of average value and peek value of band") \
    X(main, "CaPeek", BandPeakCaption, "To peek") \
    X(main, "HiPeek", BandPeakHint, "Remaster according peek value of band") \
    X(main, "HiTrack", ModeBarHint, "Can be select five steps, three main and two halfway steps.") \
    X(main, "CaColorNoise", TimbreCaption, "Sound timbre") \
    X(main, "HiColorNoise", TimbreHint, "Select target timbre") \
    X(main, "CaClear", ClearTimbreCaption, "Clear") \
    X(main, "HiClear", ClearTimbreHint, "Frequency balanced sound") \
    X(main, "CaSplit", SplitTimbreCaption, "Split") \
    X(main, "HiSplit", SplitTimbreHint, "Sharpen sound timbre with more striking treble") \
    X(main, "CaPremaster", PremasterTimbreCaption, "Premaster") \
    X(main, "HiPremaster", PremasterTimbreHint, "Balanced sound with fresh spectrum modulation") \
    X(main, "CaDrum", DrumTimbreCaption, "Present drum") \
    X(main, "HiDrum", DrumTimbreHint, "Present and increase drum sound") \
    X(main, "CaPop", PopTimbreCaption, "Pop") \
    X(main, "HiPop", PopTimbreHint, "Increased bass and treble dynamics") \
    X(main, "CaRaDetect", ExampleTimbreCaption, "From example") \
    X(main, "HiRaDetect", ExampleTimbreHint, "Application of example timbre") \
    X(main, "CaAditional", AdditionalSettingsCaption, "Additional setting") \
    X(main, "HiAditional", AdditionalSettingsHint, "Settings for additional processing in remastering") \
    X(main, "CaHiPass", HighPassCaption, "Highpass") \
    X(main, "HiHiPass", HighPassHint, "Determine frequency limit - frequencies below the limit will be surpressed") \
    X(main, "CaLoPass", LowPassCaption, "Lowpass") \
    X(main, "HiLoPass", LowPassHint, "Determine frequency limit - frequencies above the limit will be surpressed") \
    X(main, "CaL1", PrecisionLabel, "Precision") \
    X(main, "CaL4", PiecesUnit, "pieces") \
    X(main, "CaL5", BlocksUnit, "blocks") \
    X(main, "CaL7", SecondsUnit, "seconds") \
    X(main, "CaL8", BandsUnit, "bands") \
    X(main, "CaL9", LimitationLabel, "Limitation") \
    X(main, "CaL10", TimesUnit, "times") \
    X(main, "CaL11", BorderSizeLabel, "Border size") \
    X(main, "CaL12", PointsUnit, "points") \
    X(main, "CaL15", TargetSpectrumLabel, "Target frequency spectrum") \
    X(main, "CaL16", LengthLabel, "Length") \
    X(main, "CaL17", BlockStartLabel, "Start block") \
    X(main, "CaL18", BlockEndLabel, "End block") \
    X(main, "CaL19", BlockLengthLabel, "Length block") \
    X(main, "CaTab1", SamplesTab, "Samples") \
    X(main, "CaTab2", SecondsTab, "Seconds") \
    X(main, "CaStatBar0", SampleCountPanel, "Sample number") \
    X(main, "CaStatBar1", ChannelsPanel, "Channels") \
    X(main, "CaStatBar2", SampleRatePanel, "Sample rate") \
    X(main, "CaStatBar3", BitsPerSamplePanel, "Bits per sample") \
    X(main, "CaStatBar4", FileNamePanel, "Name") \
    X(main, "CaDataNeuloz", SaveChangesQuestion, "Data are not saved, save it?") \
    X(main, "CaUpravZtrac", DiscardChangesQuestion, "All modifications will be lost, continue?") \
    X(main, "CaNutDetect", DetectFirstMessage, "Detect sound timbre example first!") \
    X(main, "CaSoubZadJmen", MissingFilePrefix, "File with specified name") \
    X(main, "CaNeExist", MissingFileSuffix, "doesn't exists!") \
    X(main, "CaLBit", BitsUnit, "bits") \
    X(main, "CaNePCM", NotPcmMessage, "File is not in PCM format or is damaged") \
    X(main, "CaDatNoSave", SaveFailedMessage, "Save data failure (insufficient disk space or write protected medium)") \
    X(main, "CaFilTx", NamedFilePrefix, "File") \
    X(main, "CaJeChrWrite", WriteProtectedSuffix, "is write protected, select another filename") \
    X(main, "CaExistOwerWrit", OverwriteQuestionSuffix, "already exist, overwrite?") \
    X(main, "CaMusZad", TimbreNameMissingMessage, "You must enter timbre name") \
    X(main, "CaChceSmaz", EraseTimbreQuestion, "Would you erase") \
    X(main, "CaChcePrep", OverwriteTimbreQuestion, "Would you overwrite") \
    X(main, "HiDelFreq", DeleteTimbreHint, "Erase stored timbre") \
    X(main, "HiSaveFreq", SaveTimbreHint, "Save detected timbre") \
    X(main, "CaNeprZn", InvalidNameMessage, "Name contains non-permissible characters") \
    X(main, "CaMmnd", LowDiskSpacePrefix, "Low disk space") \
    X(main, "CaPpv", LowDiskSpaceSuffix, "for needs calculation") \
    X(main, "CaMaly", TooShortMessage, "Sample is too short for this method") \
    X(main, "CaMinLength", MinimumLengthPrefix, "at least") \
    X(main, "CaSpectrumView", SpectrumViewCaption, "Spectrum and gain curve") \
    X(main, "CaLoudness", LoudnessCaption, "Loudness") \
    X(main, "HiNormalizeUnit", NormalizeUnitHint, "dB: level of the highest sample; LUFS: integrated loudness, lowered where needed to keep the true peak at most the True peak setting") \
    X(main, "CaTruePeakMax", TruePeakCaption, "True peak") \
    X(main, "HiTruePeakMax", TruePeakHint, "Loudness normalizing lowers its gain where needed so that the true peak stays at or below this level") \
    X(main, "CaLimiter", LimiterCaption, "Limiter") \
    X(main, "HiLimiter", LimiterHint, "Reach the loudness target: a look-ahead limiter keeps the true peak at or below this level instead of lowering the gain") \
    X(main, "CaSoundFiles", SoundFilesFilter, "All sound files") \
    X(main, "CaNoStage", NoStageMessage, "Remaster It runs the stages ticked under") \
    X(main, "CaNoStageTick", NoStageTickMessage, "tick at least one of") \
    X(main, "CaBatchReport", BatchReportMessage, "Some files were not processed or not saved:") \
    X(main, "CaRecent", RecentFilesCaption, "&Recent files") \
    X(main, "CaBatchMenu", BatchMenuCaption, "&Batch") \
    X(main, "CaCancelledAfter", CancelledAfterNote, "cancelled; done before:") \
    X(filters, "CaStageOf", StageOfTitle, "stage %1 of %2") \
    X(filters, "CaFileOf", FileOfTitle, "file %1 of %2") \
    X(main, "CaUndo", UndoCaption, "Undo") \
    X(main, "HiUndo", UndoHint, "Take back the last command that changed the recording") \
    X(main, "CaRedo", RedoCaption, "Redo") \
    X(main, "HiRedo", RedoHint, "Do again the command taken back last") \
    X(main, "CaUndoDropped", UndoStepsDroppedNote, "oldest undo steps dropped") \
    X(main, "CaUndoSteps", UndoStepsCaption, "Undo &steps kept...") \
    X(main, "HiUndoSteps", UndoStepsHint, "How many commands can be taken back; older steps are dropped") \
    X(main, "CaCompare", CompareCaption, "A/B") \
    X(main, "HiCompare", CompareHint, "Hear the recording as it was opened (or an earlier step) in place of the current one, at the same position (key B)") \
    X(main, "CaCompareWith", CompareWithCaption, "Compare with") \
    X(main, "CaAsOpened", AsOpenedCaption, "as opened") \
    X(main, "CaBeforeStep", BeforeStepCaption, "before") \
    X(main, "CaMatchLoudness", MatchLoudnessCaption, "Match loudness") \
    X(main, "CaHearing", HearingCaption, "Hearing") \
    X(main, "CaCurrent", CurrentCaption, "current") \
    X(main, "CaMatchedBy", MatchedByCaption, "level-matched by") \
    X(main, "CaNotMatched", NotMatchedCaption, "not level-matched") \
    X(main, "CaNothingToCompare", NothingToCompareMessage, "No earlier step to compare with") \
    X(main, "CaCannotCompare", CannotCompareMessage, "The earlier step has other channels or another sample rate") \
    /* [Wav] progress titles of reading and saving */ \
    X(Wav, "CaReading", ReadingTitle, "Reading") \
    X(Wav, "CaWriting", SavingTitle, "Saving") \
    /* [time] label of the progress window */ \
    X(time, "CaTiRem", TimeRemainingLabel, "Estimated time remaining") \
    /* [filters] progress titles of the processing stages */ \
    X(filters, "CaNormaDetect", NormalizeDetectionTitle, "Normalizing detection") \
    X(filters, "CaNormalizing", NormalizingTitle, "Normalizing") \
    X(filters, "CaMeasuringLoudness", MeasuringLoudnessTitle, "Measuring loudness") \
    X(filters, "CaNormalizingLoudness", NormalizingLoudnessTitle, "Normalizing loudness") \
    X(filters, "CaDetection", LevellingDetectionTitle, "Remastering detection") \
    X(filters, "CaRemastering", LevellingTitle, "Remastering") \
    X(filters, "CaNoiseDetect", NoiseDetectionTitle, "Noise detection") \
    X(filters, "CaNoiseRemove", NoiseRemovalTitle, "Noise removal") \
    X(filters, "CaPeekDetect", PeakDetectionTitle, "Peeks detection") \
    X(filters, "CaPeekFit", PeakFittingTitle, "Peeks fitting") \
    /* [batch] batch window */ \
    X(batch, "CaOnEqualTar", ExistingTargetCaption, "When target filename already exists") \
    X(batch, "HiOnEqualTar", ExistingTargetHint, "Determine whether existing file will be overwritten") \
    X(batch, "CaRename", RenameCaption, "Rename") \
    X(batch, "HiRename", RenameHint, "File will be renamed") \
    X(batch, "CaOwerwrite", OverwriteCaption, "Overwrite") \
    X(batch, "HiOwerwrite", OverwriteHint, "File will be overwritten") \
    X(batch, "CaDo", StartBatchCaption, "Make") \
    X(batch, "HiDo", StartBatchHint, "Start batch processing") \
    X(batch, "CaStorno", CancelCaption, "Cancel") \
    X(batch, "CaSource", SourceFolderCaption, "Source directory") \
    X(batch, "CaDestination", TargetFolderCaption, "Target directory") \
    X(batch, "CaReportFile", ReportFileCaption, "File") \
    X(batch, "CaReportMessage", ReportMessageCaption, "Message") \
    X(batch, "CaClose", CloseCaption, "Close") \
    /* [UHelp] help topic titles and help texts */ \
    X(UHelp, "CaMenu1", TechnicalTopicTitle, "Technical parameters") \
    X(UHelp, "CaMenu11", MethodTopicTitle, "Characteristics of used method") \
    X(UHelp, "CaMenu2", RequirementsTopicTitle, "Program requirements ") \
    X(UHelp, "CaHelp11", OpenHelp, \
      "Open item opens WAV files with 8, 16, 24 or 32-bit integer or 32-bit float " \
      "samples, FLAC, Ogg Vorbis, AIFF and MP3 files, with one or more channels. The recording is copied into a work file on the drive with " \
      "the most free space, so files far larger than the memory can be opened; the work " \
      "drive needs free room of more than five times the file size. When the current " \
      "recording has changes that are not saved yet, the program first asks whether to " \
      "save them. After opening, the waveform is shown and the status bar gives the number " \
      "of samples, the channels, the sample rate, the bits per sample and the file name. " \
      "Files that are not PCM, are damaged or are too short for processing are refused " \
      "with a message.") \
    X(UHelp, "CaHelp12", ReturnToSavedHelp, \
      "It reload sample from drive to memory, that is, it opens again the file the current " \
      "recording was last opened from or saved to, and throws away every change made " \
      "since. Use it when a filter gave a result you do not like and you want to start " \
      "again from the saved state. Because all modifications are lost, the program asks " \
      "for confirmation first.") \
    X(UHelp, "CaHelp13", SaveHelp, \
      "It saves sample in memory to drive under the name of the file it was opened from or " \
      "last saved to. As that file already exists, the program asks whether to overwrite " \
      "it. The recording is written as a PCM WAV file with its own bits per sample, " \
      "channels and sample rate. Writing goes to a temporary file first, so a failed save " \
      "(a full or write-protected drive) leaves the old file intact and is reported with a " \
      "message.") \
    X(UHelp, "CaHelp14", SaveAsHelp, \
      "It saves sample in memory to drive under a name you choose in the save dialog, so " \
      "the original recording stays untouched. If a file of that name exists, the program " \
      "asks whether to overwrite it; a write-protected file is refused and you are asked " \
      "to choose another name. The recording is written as a PCM WAV file with its own " \
      "bits per sample, channels and sample rate, and the chosen name becomes the current " \
      "file name shown in the status bar.") \
    X(UHelp, "CaHelp15", ExitHelp, \
      "Finish program. It cause the same behavior as closing the main window: if the " \
      "recording has changes that are not saved yet, the program asks whether to save them " \
      "first; then the recording and its work file are released and the program ends. " \
      "Nothing else is stored: every setting starts at its default at the next start.") \
    X(UHelp, "CaHelp2", BatchHelp, \
      "Batch means multiple file processing from selected source directory to a target " \
      "directory. Every WAV file of the source directory is opened, its waveform shown, " \
      "processed with the current settings of the main window exactly as Remaster It does " \
      "(noise removal, frequency and dynamic levelling, peak fitting and normalizing, each " \
      "when its check box is on) and saved into the target directory. With Rename (the " \
      "default) each result gets the source name with a leading underscore, so song.wav " \
      "becomes _song.wav; with Overwrite it keeps the source name, and an existing file is " \
      "replaced only after you confirm it. Files that cannot be used are reported and " \
      "skipped. Cancelling a stage stops the batch, and the file being processed stays " \
      "open unsaved.") \
    X(UHelp, "CaHelp31", NormalizeHelp, \
      "Filter searches the maximal volume in sample and then amplifies or attenuates the " \
      "whole recording by one factor so that this maximum reaches the level set in " \
      "Additional setting (0 dB is full scale, down to -48 dB). The sound itself is not " \
      "changed, only its volume, so the dynamics stay as they are. With Separate channels " \
      "checked each channel is normalized on its own; otherwise both channels get the same " \
      "factor and the stereo balance is kept. Use Fit peak first when a few short peaks " \
      "stop the recording from getting loud enough.") \
    X(UHelp, "CaHelp32", RemoveNoiseHelp, \
      "Remove noise from sample in whole spectrum: hiss, hum and rumble alike. The filter " \
      "needs no marked noise sample: it splits the recording into the number of blocks set " \
      "in Additional setting and in each block finds the quietest stretch of the set " \
      "length in seconds; the spectrum of that stretch is taken as the „noise profile“. " \
      "The profile is scaled by the set percentage and then subtracted from the spectrum " \
      "of the whole recording. It works best when the recording holds at least one pause " \
      "of pure noise, for example before the first note, about as long as the set stretch. " \
      "Too high a percentage makes the sound thin and watery. With Smooth on, the removal " \
      "follows the signal smoothly and keeps a low floor of the noise, so what remains " \
      "still sounds like soft hiss instead of short tonal bursts; prefer it for speech.") \
    X(UHelp, "CaHelp33", FitPeaksHelp, \
      "This filter finds selected number of largest volume peaks in the recording and " \
      "lowers all of them to the level of the smallest of them. It does not clip: each " \
      "peak is brought down by a smooth dip in volume that returns to the full level at " \
      "the set border size on either side, so the sound keeps its character and the " \
      "recording gains headroom. Afterwards Normalize can raise the whole recording " \
      "further. Set the number of peaks and the border size in Additional setting.") \
    X(UHelp, "CaHelp34", RemasterHelp, \
      "Starts remastering according of all additional setting with the chosen sound " \
      "timbre. The steps run in a fixed order, each only when its check box is on: noise " \
      "removal, frequency and dynamic levelling towards the target timbre (shaped by the " \
      "highpass and lowpass settings), peak fitting and normalizing. Every step shows a " \
      "progress window and can be cancelled; a cancelled step leaves the recording as it " \
      "was before that step, and the following steps are skipped. The result replaces the " \
      "recording in memory; save it with Save As.") \
    X(UHelp, "CaHelp35", DetectHelp, \
      "It searches sound quality of example, which is the recording currently open: its " \
      "frequency spectrum is measured with the current type of remastering and stored as " \
      "the example timbre. The recording itself is not changed. The example is then " \
      "selected as the target (From example), so you can open another recording and bring " \
      "it towards the sound of the example with Remaster It. The detected timbre can also " \
      "be stored under a name with the save button beside the list of timbres, and chosen " \
      "from that list later.") \
    X(UHelp, "CaHelp41", BothChannelsHelp, \
      "It applies selected trimble to both channels equally: the corrections computed for " \
      "the two channels are averaged and the same correction is applied to both. The " \
      "stereo image stays as it was, so this is the safe choice for recordings whose " \
      "channels sound alike. For mono recordings the channel settings make no difference.") \
    X(UHelp, "CaHelp42", SeparateChannelsHelp, \
      "It applies selected trimble on every channel separately: each channel is measured " \
      "and corrected on its own, so both channels end up with the target timbre even when " \
      "they sounded different, for example when one microphone was duller than the other. " \
      "The stereo image may change.") \
    X(UHelp, "CaHelp43", PartialSeparationHelp, "This setting is option between previous two. It preserves advantages of both.") \
    X(UHelp, "CaHelp44", LimitationHelp, \
      "Limitation is setting, which taking changes more or less boldly: it is the largest " \
      "factor between the most raised and the most lowered band of the correction, from 2 " \
      "to 128 times. Small values give gentle corrections that keep the character of the " \
      "recording; large values let the program follow the target timbre closely, which can " \
      "also bring up noise in bands where the recording holds almost nothing.") \
    X(UHelp, "CaHelp45", PrecisionHelp, \
      "Precission sets up how deeply the sample is analysed: the number of frequency " \
      "bands, from 3 to 255, in which the correction is computed. The bands are spaced " \
      "logarithmically, as the ear hears. Few bands give a smooth, broad correction of the " \
      "tone; many bands follow the target timbre in fine detail, but can also colour " \
      "single notes or resonances. The default of 60 bands suits most recordings.") \
    X(UHelp, "CaHelp46", BandAverageHelp, "Remaster according average value of band (recomended for preset parametr of sound timbre)") \
    X(UHelp, "CaHelp47", BandMediumHelp, "Remaster according medium of average value and peek value of band (recomended for all parametr of sound timbre)") \
    X(UHelp, "CaHelp48", BandPeakHelp, "Remaster according peek value of band (recomended for \"from example\" parametr of sound timbre)") \
    X(UHelp, "CaHelp51", ClearTimbreHelp, "Sound is well-balanced without tint. Suitable mainly for well coloured recordings.") \
    X(UHelp, "CaHelp52", SplitTimbreHelp, "Sound is sharper with significant trebles. Suitable for rock.") \
    X(UHelp, "CaHelp53", PremasterTimbreHelp, "Sound is enriched with errors, which may revive recording.") \
    X(UHelp, "CaHelp54", DrumTimbreHelp, "Bold drum in dynamics alsoin answer.") \
    X(UHelp, "CaHelp55", PopTimbreHelp, "Solid dynamics. Stronger higher harmonious frequencies.") \
    X(UHelp, "CaHelp56", ExampleTimbreHelp, \
      "Sound timbre from example. Example could be any recording whose sound you like: " \
      "open it and press Detect, and its measured spectrum becomes the target timbre. A " \
      "timbre stored earlier can be chosen from the list of timbres instead. Without a " \
      "detected example this choice is refused and Clear is selected again. Remastering " \
      "according to the peak value of the band is recommended with this choice.") \
    X(UHelp, "CaHelp611", NoisePartsHelp, \
      "It determines number of equally large blocks into which the recording is divided " \
      "when the noise is searched for, from 1 to 64. In every block the quietest stretch " \
      "is found, and the noise profile is taken from these stretches. One block suits " \
      "recordings with one pause of pure noise; more blocks help when the noise changes " \
      "along the recording, such as a worn record or a long tape.") \
    X(UHelp, "CaHelp612", NoisePercentHelp, \
      "Sets up level of noise to be removed, as a percentage of the detected noise " \
      "profile, from 0 to 200 %. 100 % removes the noise as it was measured. Lower values " \
      "remove less and keep more of the original sound; higher values remove more noise, " \
      "but quiet parts of the music may sound thin or metallic.") \
    X(UHelp, "CaHelp613", NoiseSecondsHelp, \
      "Sets up length of block in seconds, from 1 to 9, that is, the length of the stretch " \
      "of pure noise the filter looks for in each block. It should not be longer than the " \
      "pauses of the recording: if no stretch of that length holds only noise, the music " \
      "itself is taken as noise and partly removed.") \
    X(UHelp, "CaHelp621", PeakCountHelp, "Sets up number of peaks, which will be reduced according to method described in filters.") \
    X(UHelp, "CaHelp622", PeakBorderHelp, "Sets up size of peaks border in samples, whereon (gausian) reduction and peak balancing will be aplicated.") \
    X(UHelp, "CaHelp63", NormalizeWhileRemasteringHelp, "Indicates if the recording will be normalized during remastering.") \
    X(UHelp, "CaHelp641", HighPassHelp, \
      "Sets up boundary frequency, under which will be frequencies suppressed during " \
      "remastering, from 16 to 250 Hz. Use it against rumble, hum or the thump of handling " \
      "noise. Below the boundary the volume falls with the speed set in dB per octave. " \
      "When Highpass is off, nothing above 5 Hz is suppressed.") \
    X(UHelp, "CaHelp642", HighPassSlopeHelp, "Sets up speed of volume rise in the frame of one octave.") \
    X(UHelp, "CaHelp651", LowPassHelp, \
      "Sets up frequency, above which will all frequencies be suppressed during " \
      "remastering, from 8 to 20 kHz. Use it to tame hiss and harsh treble of old " \
      "recordings. Above the boundary the volume falls with the speed set in dB per " \
      "octave. When Lowpass is off, nothing below 25 kHz is suppressed.") \
    X(UHelp, "CaHelp652", LowPassSlopeHelp, "Sets reduction speed of volume in the frame of one octave.") \
    X(UHelp, "CaHelp7", TechnicalHelp, \
      "Program is using for all calculation 32 bit integer samples: a 16-bit sample is " \
      "held as its value times 256, so the intermediate steps lose no precision and the " \
      "result is rounded only once, when it is saved. Spectra and gains are computed in " \
      "floating point. The recording is kept in a work file on the drive with the most " \
      "free space, not in memory, so its length is limited only by the free space on the " \
      "drive. Frequency analysis uses a fast Fourier transform of 16384 points with a " \
      "smooth window; the blocks overlap by half, so the windows add up to exactly one and " \
      "the processing leaves no seams. WAV (8, 16, 24 or 32-bit integer and 32-bit float " \
      "samples), FLAC, Ogg Vorbis, AIFF and MP3 files open, with any number of channels and " \
      "any sample rate. Results are saved as WAV, FLAC, AIFF or Ogg Vorbis, chosen by the " \
      "name's extension, in the depth of the source where the format has one (FLAC up to " \
      "24 bits); MP3 is read only. Every filter writes a complete new recording and replaces the old one " \
      "only when it has finished, so a cancelled filter leaves the recording untouched.") \
    X(UHelp, "CaHelp71", MethodHelp, \
      "The main method of program isn't as an equalizer, which raises or lowers fixed " \
      "frequency bands by fixed amounts. It measures the spectrum of the whole recording, " \
      "divides the target timbre by it frequency by frequency, and smooths the quotient " \
      "over the chosen number of logarithmic bands. The spread of the correction is " \
      "limited by the Limitation setting, the correction is shaped by the highpass and " \
      "lowpass slopes, and it is applied to the recording as one fixed filter per channel. " \
      "The same target therefore brings recordings of very different sound to a similar " \
      "timbre: a dull recording gets brighter, a shrill one gets softer. The type of " \
      "remastering decides whether the average or the peak values of each band are " \
      "measured and whether the channels are corrected together or separately.") \
    X(UHelp, "CaHelp8", RequirementsHelp, \
      "Program hasn't no special demands on hardware: any computer that runs a current " \
      "Linux desktop will do. Processing takes a few seconds per minute of stereo sound, " \
      "depending on the speed of the processor. The drive holding the work files needs " \
      "free space of more than five times the size of the WAV file being processed. " \
      "Playback uses the default sound output; without one the program works silently. For " \
      "work without a screen, on servers or in scripts, use sonivar-cli, which runs the " \
      "same processing from the command line.")
// clang-format on

namespace sv {

// A value longer than this (in characters, i.e. code points) is cut to it.
inline constexpr std::size_t MaxTextLength = 2047;

// Defaults are written as the translator sees them; trailing blanks never reach the user, just
// as for values read from the file.
constexpr std::string_view DropTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

struct LanguageTexts {
#define SV_LANGUAGE_MEMBER(section, key, member, text) std::string member{DropTrailingBlanks(text)};
    SV_LANGUAGE_KEYS(SV_LANGUAGE_MEMBER)
#undef SV_LANGUAGE_MEMBER

    // The text of the key with this name (compared without regard to case); null if unknown.
    const std::string* Find(std::string_view key) const;

    bool operator==(const LanguageTexts&) const = default;
};

// One row of the table: where the key lives in language.ini and which text it fills.
struct LanguageKey {
    std::string_view Section;
    std::string_view Key;
    std::string_view Default;  // as written in the table, before trailing blanks are dropped
    std::string LanguageTexts::*Member;
};

// All keys in table order.
std::span<const LanguageKey> LanguageKeys();

// The program-wide texts. They hold the defaults until LoadLanguage runs.
const LanguageTexts& Texts();
LanguageTexts& MutableTexts();

// Fills the program-wide texts from language.ini in the folder of the running executable.
// A missing or unreadable file leaves every text at its default, silently.
void LoadLanguage();

// Fills texts from the given file: every key it gives correctly, every other key its default.
void LoadLanguageFrom(const std::filesystem::path& iniFile, LanguageTexts& texts);

}  // namespace sv
