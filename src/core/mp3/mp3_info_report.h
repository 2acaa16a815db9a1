#pragma once

#include <string>
#include <vector>

#include "core/mp3/mp3_info.h"

namespace chimeon {

// The lines of the MP3 information report for a loaded file (no line ends): file, validity, an
// empty line, then the frame facts, each under its label ("帧数：", "播放时长：", ...).
std::vector<std::string> Mp3InfoReportLines(const CMp3Info& info);

// The single line reported for a file that could not be opened.
std::string Mp3InfoLoadErrorLine(const std::string& path);

// The tag fields under their labels ("标题：", "歌手：", ...), genre by name.
std::vector<std::string> Mp3TagLines(const CMp3Info& info);

// What the MP3 information page shows for one analysed file: the tag fields, the genre box's
// choice and the report. A file that could not be opened clears the fields, selects no genre
// and reports the single error line.
struct Mp3InfoView {
    std::string title, artist, album, comment, year;
    int track = 0;
    int genreIndex = -1;  // in the box: 0 the empty entry, g + 1 genre g, -1 nothing selected
    std::vector<std::string> reportLines;
};
Mp3InfoView MakeMp3InfoView(const std::string& path, bool opened, const CMp3Info& info);

// Names of the coded header fields, as the report shows them.
std::string Mp3VersionName(int version);
std::string Mp3ChannelModeName(int channelMode);
std::string Mp3EmphasisName(int emphasis);

}  // namespace chimeon
