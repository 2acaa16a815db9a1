#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace chimeon {

class MixerControl;

// What silenced a start whatever its own sound: the output it went to.
enum class OutputSilence { kNone, kMasterAtZero, kMasterMuted };

// How loud a start was where its sound left the player, over its first seconds: the loudest
// sample of any channel and the mean power, in dB against full scale.
struct SoundLevel {
    double peakDb = 0;
    double rmsDb = 0;
    bool silent = false;
    OutputSilence output = OutputSilence::kNone;
    bool operator==(const SoundLevel&) const = default;
};

// The first seconds of a start are measured: a bell that is silent there is silent.
inline constexpr std::int64_t kLevelWindowMs = 3000;
// Below this peak a start counts as silent. A file at volume 0 measures at the floor; the
// quietest real recording (a hiss, a fade-in's first seconds) stays above it.
inline constexpr double kSilentPeakDb = -60.0;
// Nothing at all (digital silence, a muted output) is kept as this, never as minus infinity.
inline constexpr double kLevelFloorDb = -120.0;

// Gathers the level reports of one start (each for an interval of the stream, peak of the loudest
// channel and mean power over the channels) until the window is covered. The level element keeps
// a part-filled interval over a flushing seek, so the first report after one may hold samples
// from before it (at a volume since changed): it counts only when no other report follows.
class SoundLevelMeter {
public:
    void Reset() { *this = SoundLevelMeter(); }
    // One report for the interval of the file's stream that ends at `endMs`; reports past the
    // window are left out.
    void Add(double peakDb, double rmsDb, std::int64_t endMs);
    bool Complete() const { return endMs_ >= kLevelWindowMs; }
    bool Empty() const { return reports_ == 0 && !first_; }
    // The level after a further gain the sound passes on its way out (a sound server's stream
    // volume, 1 for none; 0 or `muted` for silence); nothing before the first report.
    std::optional<SoundLevel> Result(double gain = 1.0, bool muted = false) const;

private:
    struct Report {
        double peakDb, rmsDb;
        std::int64_t endMs;
    };
    void Count(const Report& report);

    std::optional<Report> first_;
    bool pastFirst_ = false;
    double peakDb_ = kLevelFloorDb;
    double powerSum_ = 0;
    int reports_ = 0;
    std::int64_t endMs_ = 0;
};

// The master volume muted, or at zero on every channel; kNone when it cannot be read.
OutputSilence MasterSilence(MixerControl& master);
// The level as heard behind a silenced output: nothing at all, and why.
SoundLevel Silenced(SoundLevel level, OutputSilence output);
// "master_at_zero", "master_muted" ("" for kNone), and the operator's words for them.
const char* OutputSilenceName(OutputSilence output);
std::string OutputSilenceText(OutputSilence output);

// Peak and mean power as the history shows them: "-3.0/-12.5 dB".
std::string LevelText(const SoundLevel& level);
// What the notice names after a silent start of `title` due at `due` ("" for one not started by
// time), with the output that silenced it where one did.
std::string SilentStartDetail(const std::string& due, const std::string& title,
                              OutputSilence output = OutputSilence::kNone);

}  // namespace chimeon
