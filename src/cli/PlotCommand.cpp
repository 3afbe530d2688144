#include "cli/PlotCommand.h"

#include "base/AtomicFileWriter.h"
#include "base/IoError.h"
#include "dsp/StageLength.h"
#include "picture/PixelFont.h"
#include "picture/PngFile.h"
#include "picture/SpectrumPicture.h"

namespace sv::cli {

namespace {

// The pixel font's glyphs one to one; the size spaces the labels by its widest glyph.
constexpr int GlyphScale = 1;
constexpr int LabelSize = 5;

void SavePicture(const SpectrumPictureCurves& curves, const std::string& file) {
    RasterCanvas canvas(PlotWidth, PlotHeight);
    DrawSpectrumPicture(canvas, PlotWidth, PlotHeight, curves, "pixel", LabelSize);
    RenderRecordedTexts(canvas, GlyphScale);
    SavePng(canvas, file);
}

std::unique_ptr<LongTermSpectrum> MeasureForPlot(Engine& engine, Wave& wave) {
    if (wave.FrameCount() < MinimumFramesToMeasure()) return nullptr;
    auto spectrum = std::make_unique<LongTermSpectrum>();
    if (engine.MeasureLongTermSpectrum(wave, *spectrum) == WalkResult::Cancelled) return nullptr;
    return spectrum;
}

}  // namespace

int PlotOf(Session& session, const Options& options, FileRecord& record) {
    try {
        CheckSaveTarget(options.Output);
    } catch (const IoError& e) {
        session.dialogs.Message(e.what());
        return ExitIoFailure;
    }
    EngineRun run(session.env.Ports);
    Options levelling = options;
    levelling.Settings.Levelling = true;  // the target is needed whatever stages are named
    if (const int exit = ChooseTarget(session, run, levelling); exit != ExitDone) return exit;
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return exit;
    record.Format = FormatOf(*wave, options.Input);
    auto spectrum = MeasureForPlot(run.engine, *wave);
    if (!spectrum) {
        if (wave->FrameCount() >= MinimumFramesToMeasure()) return ExitCancelled;
        session.dialogs.Message(TooShortMessage(MinimumFramesToMeasure(), wave->SampleRate()));
        return ExitRefused;
    }
    const RemasterSettings settings = ChainSettings(options);
    const LevellingPreview preview = PreviewLevelling(*spectrum, run.spectra->Target, settings);
    const BinSpectrum mean = ChannelMean(preview.Measured, spectrum->Channels);
    SpectrumPictureCurves curves;
    curves.SampleRate = spectrum->SampleRate;
    curves.Spectrum = &mean;
    curves.Target = &run.spectra->Target;
    curves.Gains = {&preview.Gains[0], spectrum->Channels > 1 ? &preview.Gains[1] : nullptr};
    SavePicture(curves, options.Output);
    return ExitDone;
}

void PrepareChainForPlot(Engine& engine, Wave& wave, const RemasterSettings& settings,
                         SharedSpectra& spectra) {
    spectra.GatherOutput = true;
    const bool levellingFirst = settings.Levelling && !settings.RemoveNoise;
    if (levellingFirst || spectra.Input.Describes(wave)) return;
    spectra.Input = KnownSpectrumOf(wave, MeasureForPlot(engine, wave));
}

void SaveChainPlot(const std::string& file, Engine& engine, Wave& wave, const Options& options,
                   const SharedSpectra& spectra, bool levelled) {
    const LongTermSpectrum* before = spectra.Input.Spectrum.get();
    if (!before) return;
    std::shared_ptr<const LongTermSpectrum> after;
    for (const KnownSpectrum* known : {&spectra.Output, &spectra.Input})
        if (!after && known->Describes(wave)) after = known->Spectrum;
    if (!after) after = MeasureForPlot(engine, wave);
    const BandLevelMode mode = options.Settings.BandLevelMode;
    std::array<BinSpectrum, 2> measured;
    MixLongTermSpectrum(*before, mode, measured[0], measured[1]);
    const BinSpectrum beforeMean = ChannelMean(measured, before->Channels);
    BinSpectrum afterMean{};
    if (after) {
        MixLongTermSpectrum(*after, mode, measured[0], measured[1]);
        afterMean = ChannelMean(measured, after->Channels);
    }
    SpectrumPictureCurves curves;
    curves.SampleRate = before->SampleRate;
    curves.Spectrum = &beforeMean;
    curves.After = after ? &afterMean : nullptr;
    if (levelled) {
        curves.Target = &spectra.Target;
        // After a levelling run the measured spectra hold its gain curves.
        curves.Gains = {&spectra.Measured[0],
                        before->Channels > 1 ? &spectra.Measured[1] : nullptr};
    }
    SavePicture(curves, file);
}

GainBands GainCurveOf(const SharedSpectra& spectra, const Wave& wave, const Options& options) {
    return BandsOfGains(spectra.Measured, wave.Channels(), wave.SampleRate(),
                        options.Settings.Bands);
}

}  // namespace sv::cli
