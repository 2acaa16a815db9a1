#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "platform/app/single_instance_lock.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

// Starts a copy of the built program, with its skins beside it, so the copy's folder is its
// data directory. Its home and XDG folders are temporary, and there is no display.
class ProgramRun {
public:
    ProgramRun(const test::TempDir& dir, const QString& runtimeFolder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString root = QString::fromStdString(dir.path().string());
        env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        if (!runtimeFolder.isEmpty()) {
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                       root + QStringLiteral("/") + runtimeFolder);
        }
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // No broadcaster to be found and started: only the window's own lock is looked at.
        env.insert(QStringLiteral("PATH"), root + QStringLiteral("/home"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        process.setProcessEnvironment(env);
        process.setProgram(QString::fromStdString((dir / "program" / "chimeon").string()));
    }
    QProcess process;
};

bool LockIsHeld(const std::filesystem::path& lockFile) {
    bool failed = false;
    auto lock = SingleInstanceLock::TryAcquire(lockFile, &failed);
    return !lock && !failed;
}

class SecondInstanceTest : public testing::TestWithParam<bool> {};

// A second window, also when the data directory's own lock cannot be taken (its
// chimeon-window.lock is a folder).
TEST_P(SecondInstanceTest, ASecondCopyEndsSilentlyAndTheFirstRunsOn) {
    test::App();
    test::TempDir dir;
    for (const char* sub : {"home", "data", "config", "cache", "runtime", "other-runtime"}) {
        std::filesystem::create_directory(dir / sub);
    }
    const std::filesystem::path built(CHIMEON_EXECUTABLE);
    std::filesystem::create_directory(dir / "program");
    std::filesystem::copy_file(built, dir / "program" / "chimeon");
    std::filesystem::copy(built.parent_path() / "skin", dir / "program" / "skin",
                          std::filesystem::copy_options::recursive);
    const std::filesystem::path lockFile = InstanceLockFile(dir / "program", kWindowLockName);
    if (GetParam()) {
        std::filesystem::create_directory(lockFile);
    }
    struct stat data {};
    ASSERT_EQ(::stat((dir / "program").c_str(), &data), 0);
    const auto runtimeLock = RuntimeLockFiles(data.st_dev, data.st_ino, (dir / "runtime").c_str(),
                                              ::geteuid(), kWindowLockName)
                                 .front();
    auto held = [&] {
        return GetParam() ? std::filesystem::exists(runtimeLock) : LockIsHeld(lockFile);
    };

    ProgramRun first(dir, QStringLiteral("runtime"));
    first.process.start();
    ASSERT_TRUE(first.process.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor(held, 20000));

    // Another session, or cron or a service without a session: the same data directory.
    for (const QString& runtime : {QStringLiteral("other-runtime"), QString()}) {
        SCOPED_TRACE(runtime.toStdString());
        ProgramRun second(dir, runtime);
        second.process.start();
        ASSERT_TRUE(second.process.waitForFinished(20000));
        EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.process.exitCode(), 0);
        EXPECT_TRUE(second.process.readAllStandardOutput().isEmpty());
        EXPECT_TRUE(second.process.readAllStandardError().isEmpty());
    }

    EXPECT_EQ(first.process.state(), QProcess::Running);
    EXPECT_TRUE(held());
    // A termination request ends the first copy in order, with success.
    first.process.terminate();
    ASSERT_TRUE(first.process.waitForFinished(20000));
    EXPECT_EQ(first.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process.exitCode(), 0);
    EXPECT_FALSE(held());
    EXPECT_FALSE(std::filesystem::exists(runtimeLock)) << "the runtime lock goes with its copy";
    // Nothing was written into the scratch home.
    EXPECT_TRUE(std::filesystem::is_empty(dir / "home"));
}

INSTANTIATE_TEST_SUITE_P(DataLock, SecondInstanceTest, testing::Bool());

}  // namespace
}  // namespace chimeon
