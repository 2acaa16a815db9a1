#include "core/engine/sound_level.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

std::string LevelText(const SoundLevel& level) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f/%.1f dB", level.peakDb, level.rmsDb);
    return text;
}

std::string SilentStartDetail(const std::string& due, const std::string& title) {
    return (due.empty() ? std::string() : due + " ") + title + "（文件无声、音量为0或输出静音）";
}

}  // namespace chimeon
