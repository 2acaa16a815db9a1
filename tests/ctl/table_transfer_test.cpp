#include <gtest/gtest.h>

#include <csignal>

#include "core/app/program_version.h"
#include "core/system/stored_password.h"
#include "core/text/gbk_codec.h"
#include "ctl_test_support.h"
#include "support/wave_bytes.h"
#include "support/write_failures.h"

namespace chimeon {
namespace {

using test::Ctl;
using test::Hex;
using test::TempDir;

// 上课铃 at 8:0:0, once, volume 80, playing `file`; a random `folder` chained after it.
std::string MondayFile(const std::string& file, const std::string& folder) {
    return Hex("c9 cf bf ce c1 e5") + "\r\n8:0:0\r\n" + Hex("b2 a5 cd ea d6 d5 d6 b9") +
           "  80\r\n0" + file + "\r\nMusic\r\n" + Hex("d0 f8 b2 a5") + "\r\n8:30:0  100\r\n1" +
           folder + "\r\n";
}
const std::string kMondayFile = MondayFile("d:\\bell\\ring.mp3", "d:\\music\\");

// Exported by name or file name (in any letter case), a table imports back byte for byte.
TEST(CtlTransfer, ExportedTableImportsByteForByte) {
    TempDir data;
    std::filesystem::create_directories(data / "music");
    data.Write("music/song.wav", test::SilentWav(1));
    const std::string folder = (data / "music").string() + "/";
    const std::string table = MondayFile(folder + "song.wav", folder);
    data.Write("Day1.dat", table);
    const auto exported = Ctl(data, {"export", "星期一"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    auto json = nlohmann::ordered_json::parse(exported.out);
    EXPECT_EQ(json["table"], "星期一");
    EXPECT_EQ(json["file"], "Day1.dat");
    EXPECT_EQ(json["rows"][0]["title"], "上课铃");
    EXPECT_EQ(json["rows"][0]["end"], "播完终止");
    EXPECT_EQ(json["rows"][1]["start"], "续播");
    EXPECT_EQ(json["rows"][1]["mode"], "随机");
    for (const char* name : {"Day1.dat", "DAY1.DAT"}) {
        EXPECT_EQ(Ctl(data, {"export", name}).out, exported.out) << name;
    }
    auto imported = Ctl(data, {"import", "模板2", "-"}, exported.out);
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(data.Read("Template2.dat"), table);
    auto never = Ctl(data, {"export", "模板3"});
    EXPECT_EQ(never.exitCode, 0);
    EXPECT_EQ(nlohmann::ordered_json::parse(never.out)["rows"].size(), 0u)
        << "a table never saved is empty";
}

TEST(CtlImport, TableThatWouldLeaveABellSilentIsRefused) {
    TempDir data;
    data.Write("Day1.dat", kMondayFile);  // names Windows paths that do not exist here
    auto exported = Ctl(data, {"export", "星期一"});
    data.Write("Template2.dat", "old\r\n");
    auto imported = Ctl(data, {"import", "模板2", "-"}, exported.out);
    EXPECT_EQ(imported.exitCode, 1);
    EXPECT_NE(imported.err.find("Template2.dat:1: file \"d:\\bell\\ring.mp3\" does not exist"),
              std::string::npos)
        << imported.err;
    EXPECT_NE(imported.err.find("nothing imported"), std::string::npos);
    EXPECT_EQ(data.Read("Template2.dat"), "old\r\n");
}

TEST(CtlImport, BadInputChangesNothing) {
    TempDir data;
    data.Write("Day3.dat", kMondayFile);
    // A row with one field as given (JSON text), the others as a good row has them.
    auto rows = [](const std::string& field) {
        return R"({"rows":[{"title":"t","start":"8:0:0","end":"x","volume":"1","mode":"",)" +
               field + "}]}";
    };
    const std::vector<std::string> toWednesday = {"import", "星期三", "-"};
    struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
    } cases[] = {
        {"not_json", toWednesday, "{rows:"},
        {"not_an_object", toWednesday, "[]"},
        {"no_rows", toWednesday, R"({"table":"星期三"})"},
        {"extra_key", toWednesday, R"({"rows":[],"owner":"x"})"},
        {"extra_row_key", toWednesday, rows(R"("path":"p","x":1)")},
        {"missing_row_key", toWednesday, R"({"rows":[{"title":"t"}]})"},
        {"wrong_type", toWednesday, rows(R"("path":8)")},
        {"line_break", toWednesday, rows(R"("path":"a\nb")")},
        {"nul", toWednesday, rows(R"("path":"/a.wav\u0000.mp3")")},
        {"unknown_table", {"import", "星期八", "-"}, rows(R"("path":"/a.wav")")},
        {"missing_file", {"import", "星期三", "/nonexistent.json"}, ""},
    };
    for (const auto& c : cases) {
        auto result = Ctl(data, c.arguments, c.input);
        EXPECT_EQ(result.exitCode, 2) << c.name;
        EXPECT_NE(result.err.find("chimeonctl: "), std::string::npos) << c.name;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1)
            << c.name << ": one line: " << result.err;
        EXPECT_EQ(data.Read("Day3.dat"), kMondayFile) << c.name;
    }
}

TEST(CtlImport, RefusedWithNothingWrittenWhenTheSaveCannotBeTrusted) {
    namespace fs = std::filesystem;
    TempDir data;
    data.Write("song.wav", test::SilentWav(1));  // relative: found in the data directory
    data.Write("Template1.dat", "old\r\n");
    const std::string input = R"({"rows":[{"title":"t","start":"8:0:0","end":"播完终止",)"
                              R"("volume":"100","mode":"顺序","path":"song.wav"}]})";
    auto import = [&] { return Ctl(data, {"import", "模板1", "-"}, input); };
    auto refused = [&](const char* why) {
        const auto before = data.Entries();
        auto result = import();
        EXPECT_EQ(result.exitCode, 2) << why << ": " << result.err;
        EXPECT_EQ(data.Read("Template1.dat"), "old\r\n") << why;
        EXPECT_EQ(data.Entries(), before) << why << ": no temporary file is left";
        return true;
    };
    fs::create_directory(data / "setup.ini");  // may say a password is in use: cannot tell
    refused("settings are a folder");
    fs::remove(data / "setup.ini");
    test::RunWithFileSizeLimit(16, [&] {
        std::signal(SIGXFSZ, SIG_DFL);  // as a shell's "ulimit -f" leaves it
        return refused("file size limit");
    });
    EXPECT_EQ(import().exitCode, 0);
}

TEST(CtlImport, NeedsTheLoginPasswordWhenOneIsInUse) {
    TempDir data;
    // "Use"=1 and "Pas" holding 广播密码 enciphered as the login page stores it.
    data.Write("setup.ini",
               "[Settings]\r\nUse=1\r\nPas=" + EncipherPassword(EncodeGbk("广播密码")) + "\r\n");
    data.Write("Template1.dat", "old\r\n");
    const std::string empty = R"({"rows":[]})";
    struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
        int exitCode;
    } cases[] = {
        {"no_terminal_no_password", {"import", "模板1", "-"}, empty, 2},
        {"wrong", {"import", "模板1", "-", "--password-stdin"}, "guess\n" + empty, 2},
        {"right", {"import", "模板1", "-", "--password-stdin"}, "广播密码\n" + empty, 0},
    };
    for (const auto& c : cases) {
        auto result = Ctl(data, c.arguments, c.input);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.name << ": " << result.err;
        EXPECT_EQ(data.Read("Template1.dat"), c.exitCode == 0 ? "" : "old\r\n") << c.name;
    }
}

TEST(CtlUsage, BadArgumentsAndMissingDataDirectory) {
    TempDir data;
    EXPECT_EQ(Ctl(data, {}).exitCode, 2);
    EXPECT_EQ(Ctl(data, {"no-such-command"}).exitCode, 2);
    EXPECT_EQ(
        test::RunProgram(CHIMEON_CTL_PATH, {"--data-dir", (data / "missing").string(), "history"})
            .exitCode,
        2);
    EXPECT_EQ(test::RunProgram(CHIMEON_CTL_PATH, {"--help"}).exitCode, 0);
    const test::ProgramResult version = test::RunProgram(CHIMEON_CTL_PATH, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "chimeonctl " + std::string(ProgramVersion()) + "\n");
    // Answers that would take minutes are refused, with the limit said.
    for (std::vector<std::string> huge : {std::vector<std::string>{"check", "--days", "2147483647"},
                                          {"next", "--count", "2147483647"}}) {
        auto result = Ctl(data, huge);
        EXPECT_EQ(result.exitCode, 2) << huge[0];
        EXPECT_NE(result.err.find("must be 1 to "), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace chimeon
