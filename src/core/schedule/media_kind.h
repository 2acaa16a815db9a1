#pragma once

#include <string_view>

namespace chimeon {

// What a media path of a program item names, by its text alone (the file is not looked at).
enum class MediaKind {
    kFolder,  // the file-name part is empty: every file in the folder plays
    kMp3,     // ends in ".mp3", any letter case: its volume is applied, its play time measured
    kWave,    // ends in ".wav", any letter case: its play time is measured
    kOther,   // any other file: played as it is, never measured
};

// The file-name part (after the last "\" or "/" and before the extension) decides a folder: "",
// "d:\music\", "/srv/bells/", "d:\music\.mp3", "d:". Every other path is a file, whose ending
// gives its kind ("d:\x.mp3s\bell.mid" is kOther).
MediaKind MediaKindOf(std::string_view path);

inline bool IsFolderPath(std::string_view path) {
    return MediaKindOf(path) == MediaKind::kFolder;
}
// Whether the editing pages keep the volume typed for a file item: ".mp3" anywhere in the path,
// any letter case, as stored tables have it. Only a kMp3 file is played at that volume.
bool KeepsTypedVolume(std::string_view path);
// An MP3 or WAV file, whose play time the duration probe measures.
inline bool IsMeasuredMedia(std::string_view path) {
    const MediaKind kind = MediaKindOf(path);
    return kind == MediaKind::kMp3 || kind == MediaKind::kWave;
}

}  // namespace chimeon
