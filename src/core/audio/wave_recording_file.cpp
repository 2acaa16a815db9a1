#include "core/audio/wave_recording_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string_view>

#include "core/audio/file_error.h"
#include "core/io/atomic_write.h"
#include "core/io/file_descriptor.h"

namespace chimeon {
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kLargestData = UINT32_MAX - 36;  // what the header's sizes can hold
constexpr std::size_t kNameMax = 255;                    // bytes of one name in a folder
constexpr std::string_view kTemporaryTail = ".XXXXXX.part";
constexpr std::size_t kRememberedFolders = 16;

bool WriteHeader(int fd, const WaveFormat& format, std::uint64_t dataBytes) {
    const auto header = WaveHeader(format, static_cast<std::uint32_t>(dataBytes));
    return ::pwrite(fd, header.data(), header.size(), 0) == static_cast<ssize_t>(header.size());
}

// The temporary file's name pattern: the target's name, cut (never inside a UTF-8 character)
// so that the whole stays a legal name, then the tail.
std::string TemporaryPattern(const fs::path& target) {
    std::string name = target.filename().string();
    if (name.size() > kNameMax - kTemporaryTail.size()) {
        std::size_t end = kNameMax - kTemporaryTail.size();
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
            --end;
        }
        name.resize(end);
    }
    return (target.parent_path() / name).string() + std::string(kTemporaryTail);
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() <= kTemporaryTail.size() || !name.ends_with(".part") ||
        name[name.size() - kTemporaryTail.size()] != '.') {
        return false;
    }
    const std::string_view random = name.substr(name.size() - 11, 6);
    return std::all_of(random.begin(), random.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

std::uint32_t LittleEndian(const std::uint8_t* bytes, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// Makes the temporary file `part` a whole WAV of all the sound it holds, under a name of its
// own; nothing when it is no recording, holds no sound, or is still being written.
std::optional<fs::path> Rescue(const fs::path& part) {
    const int fd = ::open(part.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<fs::path> made;
    std::array<std::uint8_t, kWaveHeaderSize> header{};
    struct stat info {};
    const auto tag = [&header](std::size_t at, std::string_view text) {
        return std::equal(text.begin(), text.end(), header.begin() + at);
    };
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        ::pread(fd, header.data(), header.size(), 0) == static_cast<ssize_t>(header.size()) &&
        tag(0, "RIFF") && tag(8, "WAVEfmt ") && tag(36, "data")) {
        WaveFormat format;
        format.formatTag = static_cast<std::uint16_t>(LittleEndian(&header[20], 2));
        format.channels = static_cast<std::uint16_t>(LittleEndian(&header[22], 2));
        format.samplesPerSec = LittleEndian(&header[24], 4);
        format.avgBytesPerSec = LittleEndian(&header[28], 4);
        format.blockAlign = static_cast<std::uint16_t>(LittleEndian(&header[32], 2));
        format.bitsPerSample = static_cast<std::uint16_t>(LittleEndian(&header[34], 2));
        if (format.blockAlign == 0 || format.channels == 0 || format.bitsPerSample == 0 ||
            format.samplesPerSec == 0) {
            // A damaged header does not make the sound after it worthless: the recorder only
            // ever records this format.
            format = WaveFormat{1, 1, 8000, 16000, 2, 16, 0};
        }
        // The header may lag behind the sound written last: the file's size tells.
        std::uint64_t data = std::min<std::uint64_t>(info.st_size - kWaveHeaderSize, kLargestData);
        data -= data % format.blockAlign;
        fs::path wav = part;
        wav.replace_extension(".wav");
        if (data == 0) {
            ::unlink(part.c_str());  // nothing was recorded
        } else if (WriteHeader(fd, format, data) &&
                   ::ftruncate(fd, static_cast<off_t>(kWaveHeaderSize + data)) == 0 &&
                   ::fsync(fd) == 0 &&
                   ::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, wav.c_str(), RENAME_NOREPLACE) ==
                       0) {
            made = wav;
        }
    }
    ::close(fd);
    return made;
}

}  // namespace

std::optional<std::string> RecordingTargetProblem(const fs::path& target) {
    const fs::path file = ReplacementPath(target);
    const std::string shown = "“" + target.string() + "”";
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (!file.has_filename() || fs::is_directory(status)) {
        return shown + "是一个文件夹，不能用作录音文件！";
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return shown + "不是普通文件，不能用作录音文件！";
    }
    if (file.filename().string().size() > kNameMax) {
        return "文件名太长（最多 255 个字节）：" + shown;
    }
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    const std::string folderShown = "文件夹“" + folder.string() + "”";
    const fs::file_status folderStatus = fs::status(folder, error);
    if (error.value() == EACCES) {
        return "没有进入" + folderShown + "的权限！";
    }
    if (!fs::exists(folderStatus)) {
        return folderShown + "不存在！";
    }
    if (!fs::is_directory(folderStatus)) {
        return "“" + folder.string() + "”不是文件夹！";
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        return errno == EROFS ? folderShown + "在只读的磁盘上，不能写入！"
                              : "没有在" + folderShown + "中写入文件的权限！";
    }
    return std::nullopt;
}

std::vector<fs::path> RescueRecordings(const std::vector<fs::path>& folders) {
    std::vector<fs::path> made;
    std::set<fs::path> seen;
    for (const fs::path& folder : folders) {
        std::error_code error;
        if (folder.empty() || !seen.insert(fs::weakly_canonical(folder, error)).second) {
            continue;
        }
        std::vector<fs::path> parts;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (IsTemporaryName(it->path().filename().string())) {
                parts.push_back(it->path());
            }
        }
        std::sort(parts.begin(), parts.end());
        for (const fs::path& part : parts) {
            if (std::optional<fs::path> wav = Rescue(part)) {
                made.push_back(*wav);
            }
        }
    }
    return made;
}

std::vector<fs::path> RememberedRecordingFolders(const fs::path& list) {
    std::vector<fs::path> folders;
    const std::optional<std::string> text = ReadFileBytes(list);
    std::size_t from = 0;
    while (text && from < text->size()) {
        std::size_t end = text->find('\n', from);
        end = end == std::string::npos ? text->size() : end;
        if (end > from) {
            folders.emplace_back(text->substr(from, end - from));
        }
        from = end + 1;
    }
    return folders;
}

void RememberRecordingFolder(const fs::path& list, const fs::path& folder) {
    std::vector<fs::path> folders = RememberedRecordingFolders(list);
    const auto known = std::find(folders.begin(), folders.end(), folder);
    if (known == folders.begin() && !folders.empty()) {
        return;  // nothing to write
    }
    if (known != folders.end()) {
        folders.erase(known);
    }
    folders.insert(folders.begin(), folder);
    folders.resize(std::min(folders.size(), kRememberedFolders));
    std::string text;
    for (const fs::path& each : folders) {
        text += each.string() + "\n";
    }
    // A list that cannot be written only narrows the rescue to the music folder.
    (void)WriteFileAtomically(list, text, 0600);
}

std::vector<fs::path> RecordingFoldersToRescue(const fs::path& music, const fs::path& list) {
    std::vector<fs::path> folders{music};
    for (fs::path& folder : RememberedRecordingFolders(list)) {
        folders.push_back(std::move(folder));
    }
    return folders;
}

std::string RescuedRecordingsList(const std::vector<fs::path>& files) {
    std::string list;
    for (const fs::path& file : files) {
        list += (list.empty() ? "" : "、") + file.string();
    }
    return list;
}

WaveRecordingFile::WaveRecordingFile(const fs::path& target, const WaveFormat& format)
    : target_(ReplacementPath(target)), format_(format) {
    std::error_code error;
    if (!target_.has_filename() || fs::is_directory(target_, error)) {
        throw FileError(FileError::Kind::kAccessDenied, target.string());
    }
    std::string pattern = TemporaryPattern(target_);
    fd_ = ::mkostemps(pattern.data(), 5, O_CLOEXEC);
    if (fd_ < 0) {
        throw FileError(FileError::KindFromErrno(errno), target.string());
    }
    temporary_ = pattern;
    // Held until the file is closed: the rescue at start leaves a recording in progress alone
    // (another copy of the program on another data folder may record into the same folder).
    ::flock(fd_, LOCK_EX | LOCK_NB);
    struct stat existing {};
    const mode_t mode = ::stat(target_.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0644;
    if (::fchmod(fd_, mode) != 0 || !WriteHeader(fd_, format_, 0) ||
        ::lseek(fd_, kWaveHeaderSize, SEEK_SET) < 0) {
        const int cause = errno;
        ::close(fd_);
        ::unlink(temporary_.c_str());
        throw FileError(FileError::KindFromErrno(cause), target.string());
    }
}

WaveRecordingFile::~WaveRecordingFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    // Sound that could not be put in place (a full disk at the rename, say) is never thrown
    // away: the temporary file stays for the rescue at the next start.
    if (!finished_ && dataBytes_ == 0) {
        ::unlink(temporary_.c_str());
    }
}

int WaveRecordingFile::Append(const CWaveBuffer& chunk) {
    std::lock_guard lock(mutex_);
    if (finished_) {
        return EBADF;
    }
    const std::uint64_t bytes = chunk.GetByteSize();
    if (dataBytes_ + bytes > kLargestData) {
        return EFBIG;
    }
    const std::string_view data(reinterpret_cast<const char*>(chunk.GetData()), bytes);
    if (!WriteAllBytes(fd_, data)) {
        const int cause = errno;
        // A chunk written in part is taken back: the file stays a whole WAV.
        if (::ftruncate(fd_, static_cast<off_t>(kWaveHeaderSize + dataBytes_)) == 0) {
            ::lseek(fd_, 0, SEEK_END);
        }
        return cause;
    }
    dataBytes_ += bytes;
    if (!WriteHeader(fd_, format_, dataBytes_) || ::fdatasync(fd_) != 0) {
        return errno;
    }
    return 0;
}

void WaveRecordingFile::Finish() {
    std::lock_guard lock(mutex_);
    if (finished_) {
        return;
    }
    if (!WriteHeader(fd_, format_, dataBytes_) || ::fsync(fd_) != 0 ||
        !RenameIntoPlace(temporary_, target_)) {
        throw FileError(FileError::KindFromErrno(errno), target_.string());
    }
    ::close(fd_);
    fd_ = -1;
    finished_ = true;
}

}  // namespace chimeon
