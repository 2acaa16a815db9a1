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

// Names of the coded header fields, as the report shows them.
std::string Mp3VersionName(int version);
std::string Mp3ChannelModeName(int channelMode);
std::string Mp3EmphasisName(int emphasis);

}  // namespace chimeon
