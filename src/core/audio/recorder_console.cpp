#include "core/audio/recorder_console.h"

#include <algorithm>

#include "core/audio/file_error.h"
#include "core/audio/sound_error_text.h"
#include "core/audio/wave_recording_file.h"

namespace chimeon {
namespace fs = std::filesystem;

namespace {

using Answer = RecorderConsole::Answer;

Answer Say(std::string text) {
    return Answer{std::move(text), {}, {}};
}

constexpr char kNoFileName[] = "还没有填写文件名！";
constexpr char kNotSupported[] = "文件格式不支持！";
constexpr char kPlayingNoRecording[] = "正在播放音乐，不能同时录音！";
constexpr char kNotRecording[] = "还未开始录音！";
constexpr char kRecordingPaused[] = "录音已经暂停！";
constexpr char kNothingPlaying[] = "目前没有音频文件正在播放！";
constexpr char kPlayingPaused[] = "当前音频文件已经暂停！";

// The operator's words for the last failure of a device.
std::string Problem(const PcmEngine& engine) {
    return SoundErrorText(engine.LastResult(), engine.ErrorText());
}

}  // namespace

RecorderConsole::RecorderConsole(PcmSystem& system, fs::path recordingsFolder)
    : device_(&system), recorder_(system), player_(system), folder_(std::move(recordingsFolder)) {}

RecorderConsole::~RecorderConsole() {
    // However the program ends in order, a recording in progress is stopped and kept.
    recorder_.Close();
    player_.Close();
    if (recording_ != nullptr) {
        try {
            recording_->Finish();
        } catch (const FileError&) {
            // The temporary file stays with all the sound; the next start rescues it.
        }
    }
}

std::vector<std::string> RecorderConsole::DeviceChoices() const {
    std::vector<std::string> choices{kDefaultDeviceName};
    for (PcmDirection direction : {PcmDirection::kCapture, PcmDirection::kPlayback}) {
        for (std::string& name : device_.System()->DeviceNames(direction)) {
            if (!name.empty() && std::find(choices.begin(), choices.end(), name) == choices.end()) {
                choices.push_back(std::move(name));
            }
        }
    }
    return choices;
}

fs::path RecorderConsole::ResolveName(std::string_view name) const {
    fs::path path{std::string(name)};
    if (path.has_filename() && !path.has_extension()) {
        path += ".wav";
    }
    return path.is_absolute() ? path : folder_ / path;
}

Answer RecorderConsole::Record(std::string_view name, const OverwriteQuestion& mayOverwrite) {
    if (name.empty()) {
        return Say(kNoFileName);
    }
    if (recordState_ == kActive) {
        return Say("正在录音，不能同时录音！");
    }
    if (recordState_ == kPaused) {
        return Say("录音处于暂停状态，请点“继续”按钮继续录音！");
    }
    if (playState_ != kIdle) {
        return Say(kPlayingNoRecording);
    }
    const fs::path target = ResolveName(name);
    std::error_code error;
    if (target.parent_path() == folder_) {
        fs::create_directories(folder_, error);
    }
    if (std::optional<std::string> problem = RecordingTargetProblem(target)) {
        return Say(*problem);
    }
    if (fs::exists(target, error) && !(mayOverwrite && mayOverwrite(target))) {
        return {};
    }
    CWave sound;
    sound.SetFormat(1, 8000, 16);
    if (!device_.IsInputFormat(sound)) {
        return Say(kNotSupported);
    }
    auto recording = std::make_shared<WaveRecordingFile>(target, sound.GetFormat());
    recorder_.SetFormat(sound.GetFormat());
    recorder_.SetDevice(device_);
    recorder_.SetChunkSink(recording);
    if (!recorder_.Open() || !recorder_.Start(kRecordBufferBytes)) {
        Answer answer = Say(Problem(recorder_));
        recorder_.Close();  // the temporary file goes with it
        return answer;
    }
    if (!folderList_.empty()) {
        RememberRecordingFolder(folderList_, recording->Target().parent_path());
    }
    recording_ = std::move(recording);
    recordState_ = kActive;
    startDue_ = true;
    // Said once the first sound has come: a sound server takes a moment to start delivering.
    return Answer{"正在准备录音，请稍候……", {}, target};
}

Answer RecorderConsole::PauseRecording() {
    if (recordState_ == kIdle) {
        return Say(kNotRecording);
    }
    if (recordState_ == kPaused) {
        return Say(kRecordingPaused);
    }
    if (!recorder_.Pause()) {
        return Say(Problem(recorder_));
    }
    startDue_ = false;
    recordState_ = kPaused;
    return Say(kRecordingPaused);
}

Answer RecorderConsole::ContinueRecording() {
    if (recordState_ == kIdle) {
        return Say(kNotRecording);
    }
    if (recordState_ == kActive) {
        return Say("正在录音！");
    }
    if (playState_ != kIdle) {
        return Say(kPlayingNoRecording);
    }
    if (!recorder_.Continue()) {
        return Say(Problem(recorder_));
    }
    recordState_ = kActive;
    return Say("录音继续！");
}

Answer RecorderConsole::StopRecording() {
    if (recordState_ == kIdle) {
        return Say(kNotRecording);
    }
    if (!recorder_.Close()) {
        return Answer{std::nullopt, Problem(recorder_), {}};
    }
    if (recording_ != nullptr) {
        recording_->Finish();
        recording_.reset();
    }
    startDue_ = false;
    recordState_ = kIdle;
    return Say("录音已经停止！");
}

Answer RecorderConsole::Play(std::string_view name) {
    if (playState_ == kActive && player_.IsPlaying()) {
        return Say("正在播放音乐，不能重复播放！");
    }
    if (playState_ == kPaused) {
        return Say("请点“继续”按钮，继续进行播放！");
    }
    if (recordState_ != kIdle) {
        return Say("正在录音，不能进行播放！");
    }
    if (name.empty()) {
        return Say(kNoFileName);
    }
    const fs::path file = ResolveName(name);
    CWave sound;
    sound.Load(file.string());
    if (!device_.IsOutputFormat(sound)) {
        return Say(kNotSupported);
    }
    // A sound that ran out leaves the device open: it is closed before it opens again.
    if (!player_.Close()) {
        return Say(Problem(player_));
    }
    player_.SetWave(std::move(sound));
    player_.SetDevice(device_);
    if (!player_.Open() || !player_.Play()) {
        return Say(Problem(player_));
    }
    playState_ = kActive;
    return Answer{"正在放音！", {}, file};
}

Answer RecorderConsole::PausePlaying() {
    if (recordState_ != kIdle) {
        return Say("正在录音，请用录音“暂停”按钮暂停录音！");
    }
    if (playState_ == kIdle) {
        return Say(kNothingPlaying);
    }
    if (playState_ == kPaused) {
        return Say(kPlayingPaused);
    }
    if (!player_.Pause()) {
        return Say(Problem(player_));
    }
    playState_ = kPaused;
    return Say(kPlayingPaused);
}

Answer RecorderConsole::ContinuePlaying() {
    if (recordState_ != kIdle) {
        return Say("正在录音，请先停止录音再进行播放！");
    }
    if (playState_ == kIdle) {
        return Say("目前没有音频文件被暂停，无法继续播放！");
    }
    if (playState_ == kActive) {
        return Say("正在播放音频文件！");
    }
    if (!player_.Continue()) {
        return Say(Problem(player_));
    }
    playState_ = kActive;
    return Say("暂停音频文件恢复播放！");
}

Answer RecorderConsole::StopPlaying() {
    if (recordState_ != kIdle) {
        return Say("正在录音，请先停止录音！");
    }
    if (playState_ == kIdle) {
        return Say(kNothingPlaying);
    }
    if (!player_.Close()) {
        return Say(Problem(player_));
    }
    playState_ = kIdle;
    return Say("音频文件已经停止播放！");
}

std::optional<std::string> RecorderConsole::FailureText(PcmEngine& engine, std::string_view what) {
    const std::optional<int> failure = engine.TakeFailure();
    if (!failure) {
        return std::nullopt;
    }
    return std::string(what) + SoundErrorText(*failure, device_.System()->ErrorText(*failure));
}

fs::path RecorderConsole::RecordingFile() const {
    return recording_ != nullptr ? recording_->Target() : fs::path();
}

std::optional<std::string> RecorderConsole::TakeRecordStart() {
    if (!startDue_ || !recorder_.SoundArrived()) {
        return std::nullopt;
    }
    startDue_ = false;
    return "录音开始！";
}

std::optional<std::string> RecorderConsole::TakeRecordFailure() {
    auto text = FailureText(recorder_, "录音中断：");
    if (text) {
        *text += "，请点“停止”保存已录的声音！";
    }
    return text;
}

std::optional<std::string> RecorderConsole::TakePlayFailure() {
    return FailureText(player_, "放音中断：");
}

}  // namespace chimeon
