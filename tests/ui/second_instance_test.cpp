#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "platform/app/single_instance_lock.h"
#include "support/temp_dir.h"
#include "ui_test_support.h"

namespace chimeon {
namespace {

// Starts the built program in a scratch environment: its home, data and runtime folders are
// temporary, and there is no display.
class ProgramRun {
public:
    explicit ProgramRun(const test::TempDir& dir) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString root = QString::fromStdString(dir.path().string());
        env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(CHIMEON_EXECUTABLE));
    }
    QProcess process;
};

bool LockIsHeld(const std::filesystem::path& lockFile) {
    bool failed = false;
    auto lock = SingleInstanceLock::TryAcquire(lockFile, &failed);
    return !lock && !failed;
}

TEST(SecondInstanceTest, ASecondCopyEndsSilentlyAndTheFirstRunsOn) {
    test::App();
    test::TempDir dir;
    for (const char* sub : {"home", "data", "config", "cache", "runtime"}) {
        std::filesystem::create_directory(dir / sub);
    }
    std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all);
    const std::filesystem::path lockFile = dir / "runtime" / "chimeon.lock";

    ProgramRun first(dir);
    first.process.start();
    ASSERT_TRUE(first.process.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return LockIsHeld(lockFile); }, 20000));

    ProgramRun second(dir);
    second.process.start();
    ASSERT_TRUE(second.process.waitForFinished(20000));
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_TRUE(second.process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(second.process.readAllStandardError().isEmpty());

    EXPECT_EQ(first.process.state(), QProcess::Running);
    EXPECT_TRUE(LockIsHeld(lockFile));
    // A termination request ends the first copy in order, with success.
    first.process.terminate();
    ASSERT_TRUE(first.process.waitForFinished(20000));
    EXPECT_EQ(first.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process.exitCode(), 0);
    EXPECT_FALSE(LockIsHeld(lockFile));
    // Nothing was written into the scratch home.
    EXPECT_TRUE(std::filesystem::is_empty(dir / "home"));
}

}  // namespace
}  // namespace chimeon
