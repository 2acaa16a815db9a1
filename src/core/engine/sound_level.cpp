#include "core/engine/sound_level.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/audio/mixer_control.h"

namespace chimeon {
namespace {

double Floored(double db) {
    return std::isfinite(db) ? std::max(db, kLevelFloorDb) : kLevelFloorDb;
}

}  // namespace

void SoundLevelMeter::Add(double peakDb, double rmsDb, std::int64_t endMs) {
    if (!pastFirst_) {
        pastFirst_ = true;
        first_ = Report{peakDb, rmsDb, endMs};
        return;
    }
    first_.reset();
    Count({peakDb, rmsDb, endMs});
}

void SoundLevelMeter::Count(const Report& report) {
    if (Complete()) {
        return;
    }
    peakDb_ = std::max(peakDb_, Floored(report.peakDb));
    powerSum_ += std::pow(10.0, Floored(report.rmsDb) / 10.0);
    ++reports_;
    endMs_ = std::max(endMs_, report.endMs);
}

std::optional<SoundLevel> SoundLevelMeter::Result(double gain, bool muted) const {
    if (first_) {  // the only report: it is all there is
        SoundLevelMeter alone;
        alone.Count(*first_);
        return alone.Result(gain, muted);
    }
    if (reports_ == 0) {
        return std::nullopt;
    }
    const double gainDb = muted || gain <= 0 ? -1000.0 : 20.0 * std::log10(gain);
    SoundLevel level;
    level.peakDb = Floored(peakDb_ + gainDb);
    level.rmsDb = Floored(10.0 * std::log10(powerSum_ / reports_) + gainDb);
    level.silent = level.peakDb < kSilentPeakDb;
    return level;
}

OutputSilence MasterSilence(MixerControl& master) {
    if (master.IsMuted().value_or(false)) {
        return OutputSilence::kMasterMuted;
    }
    std::vector<std::uint32_t> values;
    if (master.Read(values) && !values.empty() &&
        std::all_of(values.begin(), values.end(), [](std::uint32_t v) { return v == 0; })) {
        return OutputSilence::kMasterAtZero;
    }
    return OutputSilence::kNone;
}

SoundLevel Silenced(SoundLevel level, OutputSilence output) {
    if (output != OutputSilence::kNone) {
        level = SoundLevel{kLevelFloorDb, kLevelFloorDb, true, output};
    }
    return level;
}

const char* OutputSilenceName(OutputSilence output) {
    switch (output) {
        case OutputSilence::kMasterAtZero:
            return "master_at_zero";
        case OutputSilence::kMasterMuted:
            return "master_muted";
        case OutputSilence::kNone:
            break;
    }
    return "";
}

std::string OutputSilenceText(OutputSilence output) {
    switch (output) {
        case OutputSilence::kMasterAtZero:
            return "系统主音量为0";
        case OutputSilence::kMasterMuted:
            return "系统主音量已静音";
        case OutputSilence::kNone:
            break;
    }
    return {};
}

std::string LevelText(const SoundLevel& level) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f/%.1f dB", level.peakDb, level.rmsDb);
    return text;
}

std::string SilentStartDetail(const std::string& due, const std::string& title,
                              OutputSilence output) {
    const std::string why =
        output == OutputSilence::kNone ? "文件无声、音量为0或输出静音" : OutputSilenceText(output);
    return (due.empty() ? std::string() : due + " ") + title + "（" + why + "）";
}

}  // namespace chimeon
