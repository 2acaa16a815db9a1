#include "core/mp3/mp3_info_report.h"

#include "core/mp3/genre_names.h"

namespace chimeon {

std::string Mp3VersionName(int version) {
    switch (version) {
        case 1:
            return "MPEG 2.5";
        case 2:
            return "MPEG 2";
        case 3:
            return "MPEG 1";
        default:
            return "N/A";
    }
}

std::string Mp3ChannelModeName(int channelMode) {
    switch (channelMode) {
        case 1:
            return "Joint Stereo";
        case 2:
            return "Dual Channel";
        case 3:
            return "Single Channel";
        default:
            return "Stereo";
    }
}

std::string Mp3EmphasisName(int emphasis) {
    switch (emphasis) {
        case 1:
            return "50/15 ms";
        case 3:
            return "CCIT J.17";
        default:
            return "N/A";
    }
}

std::vector<std::string> Mp3InfoReportLines(const CMp3Info& info) {
    auto yesNo = [](int bit) { return std::string(bit == 1 ? "是" : "否"); };
    std::string validity =
        std::string("有效性：") +
        ((info.GetStatus() & kMp3FramesCounted) ? "数据完整。" : "数据不完整。") +
        ((info.GetStatus() & kMp3TagRead) ? "MP3 标记完整。" : "MP3 标记不完整。");
    return {
        "文件：" + info.GetPath(),
        validity,
        "",
        "--- MP3 文件结构信息 ---",
        "帧数：" + std::to_string(info.GetFrameCount()),
        "播放时长：" + FormatPlayTime(info.GetPlayTime()),
        "MPEG 类型：" + Mp3VersionName(info.GetVersion()),
        "层：" + std::to_string(info.GetLayer()),
        std::string("CRC校验: ") + (info.GetCrcPresent() == 1 ? "有" : "无"),
        "比特率：" + std::to_string(info.GetAverageBitrate()) + " kbps",
        "采样率：" + std::to_string(info.GetSampleRate()),
        "声道模式：" + Mp3ChannelModeName(info.GetChannelMode()),
        "重音：" + Mp3EmphasisName(info.GetEmphasis()),
        "具有版权：" + yesNo(info.GetCopyright()),
        "是否原作：" + yesNo(info.GetOriginal()),
    };
}

std::string Mp3InfoLoadErrorLine(const std::string& path) {
    return "读取'" + path + "'文件信息时出错！.";
}

std::vector<std::string> Mp3TagLines(const CMp3Info& info) {
    return {
        "标题：" + info.GetTitle(),   "歌手：" + info.GetArtist(),
        "专辑：" + info.GetAlbum(),   "曲目：" + std::to_string(info.GetTrack()),
        "年代：" + info.GetYear(),    "流派：" + std::string(GenreName(info.GetGenre())),
        "备注：" + info.GetComment(),
    };
}

Mp3InfoView MakeMp3InfoView(const std::string& path, bool opened, const CMp3Info& info) {
    if (!opened) {
        Mp3InfoView cleared;
        cleared.reportLines = {Mp3InfoLoadErrorLine(path)};
        return cleared;
    }
    // The box holds the empty entry first, so genre g sits at g + 1 and a missing tag's 255 (or
    // any byte past the list) shows the empty entry.
    const int genre = info.GetGenre();
    return Mp3InfoView{
        .title = info.GetTitle(),
        .artist = info.GetArtist(),
        .album = info.GetAlbum(),
        .comment = info.GetComment(),
        .year = info.GetYear(),
        .track = info.GetTrack(),
        .genreIndex = genre >= 0 && genre < kGenreCount ? genre + 1 : 0,
        .reportLines = Mp3InfoReportLines(info),
    };
}

}  // namespace chimeon
