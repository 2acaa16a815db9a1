#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace chimeon {

// Status flags of CMp3Info.
inline constexpr std::uint32_t kMp3TagRead = 1;        // an ID3v1 tag was read
inline constexpr std::uint32_t kMp3FramesCounted = 2;  // at least one frame header was counted

// What the MPEG audio frames and the ID3v1 tag of one MP3 file say. Read only: nothing is ever
// written to the file. Each user keeps its own object; the only shared data are constant tables.
//
// Tag texts are the file's own bytes (GBK); the plain accessors hand them out as UTF-8, the Raw
// ones exactly as stored.
class CMp3Info {
public:
    // Every field takes its reset value; a non-empty path is loaded at once.
    explicit CMp3Info(std::string_view path = {});
    virtual ~CMp3Info() = default;
    CMp3Info(const CMp3Info&) = default;
    CMp3Info& operator=(const CMp3Info&) = default;

    void Reset();
    // True when the file could be opened, whatever was found in it. Folders, FIFOs and other
    // special files count as files that cannot be opened.
    bool Load(std::string_view path);
    // As above; gives up (false, fields reset) soon after `stop` becomes true, so a long walk
    // never holds up whoever is waiting to end it.
    bool Load(std::string_view path, const std::atomic<bool>* stop);

    const std::string& GetPath() const { return path_; }
    std::uint32_t GetStatus() const { return status_; }
    std::string GetArtist() const;
    std::string GetTitle() const;
    std::string GetAlbum() const;
    std::string GetComment() const;
    std::string GetYear() const;
    const std::string& GetRawArtist() const { return artist_; }
    const std::string& GetRawTitle() const { return title_; }
    const std::string& GetRawAlbum() const { return album_; }
    const std::string& GetRawComment() const { return comment_; }
    const std::string& GetRawYear() const { return year_; }
    int GetTrack() const { return track_; }
    int GetGenre() const { return genre_; }
    std::uint32_t GetFrameCount() const { return frameCount_; }
    int GetPlayTime() const { return playTime_; }  // whole seconds, truncated
    int GetVersion() const { return version_; }    // 0 reserved, 1 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
    int GetLayer() const { return layer_; }        // 1, 2, 3; 0 for the reserved code
    int GetCrcPresent() const { return crcPresent_; }
    int GetAverageBitrate() const { return averageBitrate_; }  // kbit/s
    int GetSampleRate() const { return sampleRate_; }          // Hz
    int GetChannelMode() const { return channelMode_; }  // 0 stereo, 1 joint, 2 dual, 3 single
    int GetEmphasis() const { return emphasis_; }
    int GetCopyright() const { return copyright_; }
    int GetOriginal() const { return original_; }

private:
    std::string path_;
    std::uint32_t status_ = 0;
    std::string artist_;
    std::string title_;
    std::string album_;
    std::string comment_;
    std::string year_;
    int track_ = 0;
    int genre_ = 255;
    std::uint32_t frameCount_ = 0;
    int playTime_ = 0;
    int version_ = 0;
    int layer_ = 0;
    int crcPresent_ = 0;
    int averageBitrate_ = 0;
    int sampleRate_ = 0;
    int channelMode_ = 0;
    int emphasis_ = 0;
    int copyright_ = 0;
    int original_ = 0;
};

// "%d:%02d" of whole minutes and the remaining seconds: 0:00, 1:05, 62:05 (minutes unbounded).
std::string FormatPlayTime(int seconds);
// The same for the 64-bit lengths of very large files.
std::string FormatPlayTime64(std::int64_t seconds);

}  // namespace chimeon
