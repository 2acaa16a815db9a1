#include "ctl/media_commands.h"

#include <nlohmann/json.hpp>

#include <ostream>

#include "core/engine/duration_probe.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/file_problem.h"
#include "core/io/read_only_file.h"
#include "core/mp3/genre_names.h"
#include "core/mp3/mp3_info.h"
#include "core/mp3/mp3_info_report.h"
#include "ctl/json_output.h"

namespace chimeon::ctl {
namespace {

// What the item editor shows for a file it cannot measure.
constexpr const char* kUnmeasuredText = "00:00";

nlohmann::ordered_json Mp3InfoJson(const std::string& path, const CMp3Info& info) {
    nlohmann::ordered_json tag = nullptr;
    if (info.GetStatus() & kMp3TagRead) {
        tag = {{"title", info.GetTitle()},
               {"artist", info.GetArtist()},
               {"album", info.GetAlbum()},
               {"year", info.GetYear()},
               {"comment", info.GetComment()},
               {"track", info.GetTrack()},
               {"genre", info.GetGenre()},
               {"genre_name", std::string(GenreName(info.GetGenre()))}};
    }
    return {{"path", path},
            {"opened", true},
            {"frames", info.GetFrameCount()},
            {"play_time", info.GetPlayTime()},
            {"play_time_text", FormatPlayTime(info.GetPlayTime())},
            {"version", info.GetVersion()},
            {"layer", info.GetLayer()},
            {"crc", info.GetCrcPresent()},
            {"avg_bitrate", info.GetAverageBitrate()},
            {"sample_rate", info.GetSampleRate()},
            {"channel_mode", info.GetChannelMode()},
            {"emphasis", info.GetEmphasis()},
            {"copyright", info.GetCopyright()},
            {"original", info.GetOriginal()},
            {"tag", tag}};
}

// The file a command was given, found as a stored path is (letter case ignored), when it opens as
// a regular file. Anything else (missing, a folder, a FIFO, a device such as /dev/zero) is bad
// input: said on the message stream, nothing returned.
std::optional<std::string> OpenableFile(const CommandContext& context, const std::string& path) {
    std::filesystem::path file = ResolvePathIgnoringCase(path).value_or(path);
    int error = 0;
    if (!ReadOnlyFile::Open(file, &error)) {
        *context.err << "chimeonctl: cannot open " << path << " (" << ReadProblem(file, error)
                     << ")" << std::endl;
        return std::nullopt;
    }
    return file.string();
}

// Seconds of a "m:ss" play-time text.
std::optional<long long> SecondsOf(const std::string& text) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    return std::stoll(text.substr(0, colon)) * 60 + std::stoll(text.substr(colon + 1));
}

}  // namespace

int RunMp3Info(const CommandContext& context, const std::vector<std::string>& files) {
    int status = kExitOk;
    for (const std::string& path : files) {
        CMp3Info info;
        auto file = OpenableFile(context, path);
        bool loaded = file && info.Load(*file);
        if (file && !loaded) {
            *context.err << "chimeonctl: cannot read " << path << std::endl;
        }
        if (!loaded) {
            status = kExitUsage;
            continue;
        }
        if (context.json) {
            PrintJsonLine(context, Mp3InfoJson(path, info));
            continue;
        }
        for (const std::string& line : Mp3InfoReportLines(info)) {
            *context.out << line << '\n';
        }
        if (info.GetStatus() & kMp3TagRead) {
            for (const std::string& line : Mp3TagLines(info)) {
                *context.out << line << '\n';
            }
        }
        *context.out << '\n';
    }
    context.out->flush();
    return status;
}

int RunProbe(const CommandContext& context, const std::vector<std::string>& files) {
    int status = kExitOk;
    for (const std::string& path : files) {
        auto file = OpenableFile(context, path);
        if (!file) {
            status = kExitUsage;
            continue;
        }
        auto text = ProbeDuration(*file);
        if (context.json) {
            PrintJsonLine(
                context, {{"path", path},
                          {"text", text.value_or(kUnmeasuredText)},
                          {"seconds", text ? nlohmann::ordered_json(*SecondsOf(*text)) : nullptr}});
        } else {
            *context.out << text.value_or(kUnmeasuredText) << '\t' << path << '\n';
        }
    }
    context.out->flush();
    return status;
}

}  // namespace chimeon::ctl
