#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/audio/wave_device.h"
#include "core/audio/wave_in.h"
#include "core/audio/wave_out.h"

namespace chimeon {

class WaveRecordingFile;

// The recorder page's two state machines, which exclude each other: recording from the default
// input into a WAV file (8000 Hz, 16-bit mono) and playing a WAV file back. Every command
// answers with the text of its status line.
class RecorderConsole {
public:
    enum State { kIdle = 0, kActive = 1, kPaused = 2 };
    static constexpr std::uint32_t kRecordBufferBytes = 4096;

    struct Answer {
        std::optional<std::string> status;  // the command's status line, when it changes
        std::string message;                // said in a message box instead
        std::filesystem::path file;         // the file a recording or playback started with
    };
    // Asked before a recording replaces an existing file; true to go on.
    using OverwriteQuestion = std::function<bool(const std::filesystem::path& file)>;

    static constexpr char kDefaultDeviceName[] = "默认设备";

    RecorderConsole(PcmSystem& system, std::filesystem::path recordingsFolder);
    // Closes both devices; a recording that was not stopped is kept, as "停止" keeps it.
    ~RecorderConsole();

    // The device box's entries: the default device, then every device of either direction,
    // each once.
    std::vector<std::string> DeviceChoices() const;

    int RecordState() const { return recordState_; }
    int PlayState() const { return playState_; }
    // The file a typed name stands for: a relative name lies in the recordings folder (never
    // among the program's data), and ".wav" is added to a name without extension.
    std::filesystem::path ResolveName(std::string_view name) const;
    const std::filesystem::path& RecordingsFolder() const { return folder_; }
    // Each recording's folder is noted in `list` (see RememberRecordingFolder), so that the next
    // start finds what a crash left there.
    void RememberFoldersIn(std::filesystem::path list) { folderList_ = std::move(list); }

    // Record and StopRecording raise FileError when the file cannot be made or put in place,
    // Play when it cannot be read or is not a canonical WAV; the states then stay as they were.
    Answer Record(std::string_view name, const OverwriteQuestion& mayOverwrite);
    Answer PauseRecording();
    Answer ContinueRecording();
    Answer StopRecording();
    Answer Play(std::string_view name);
    Answer PausePlaying();
    Answer ContinuePlaying();
    Answer StopPlaying();

    // The status text for a device that failed while it ran, since the last look.
    std::optional<std::string> TakeRecordFailure();
    // "录音开始！", once, when the first sound of a recording has come.
    std::optional<std::string> TakeRecordStart();
    bool AwaitsFirstSound() const { return startDue_; }
    // Where the recording in progress goes; empty when there is none.
    std::filesystem::path RecordingFile() const;
    std::optional<std::string> TakePlayFailure();

    CWaveIn& recorder() { return recorder_; }
    CWaveOut& player() { return player_; }

private:
    std::optional<std::string> FailureText(PcmEngine& engine, std::string_view what);

    CWaveDevice device_;
    CWaveIn recorder_;
    CWaveOut player_;
    std::shared_ptr<WaveRecordingFile> recording_;
    std::filesystem::path folder_;
    std::filesystem::path folderList_;
    int recordState_ = kIdle;
    int playState_ = kIdle;
    bool startDue_ = false;  // recording, and its first sound not yet announced
};

}  // namespace chimeon
