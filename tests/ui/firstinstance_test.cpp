#include "settings/tempconfighome.h"
#include "support/tempfolder.h"
#include "ui/firstinstance.h"
#include "ui/uifixture.h"

#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QUuid>

namespace veltrane::test {
namespace {

QString uniqueKey() {
    return "veltrane-test-" + QUuid::createUuid().toString(QUuid::Id128);
}

TEST(FirstInstance, ALaterStartAsksTheFirstToComeToTheFront) {
    const QString key = uniqueKey();
    FirstInstance first(key);
    ASSERT_FALSE(first.anotherInstanceAnswered(2000));
    ASSERT_TRUE(first.listening());
    QSignalSpy raised(&first, &FirstInstance::raiseRequested);

    FirstInstance second(key);
    EXPECT_TRUE(second.anotherInstanceAnswered(2000));
    EXPECT_FALSE(second.listening());
    EXPECT_EQ(raised.count(), 1);
}

TEST(FirstInstance, TakesOverTheNameACrashedInstanceLeftBehind) {
    const QString key = uniqueKey();
    // A socket file nobody serves: bound once, then the listener is gone without removing it.
    {
        QLocalServer stale;
        stale.setSocketOptions(QLocalServer::UserAccessOption);
        ASSERT_TRUE(stale.listen(key));
        const QString path = stale.fullServerName();
        stale.close(); // removes the file; put one back as a crash would leave it
        QFile leftover(path);
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    }
    FirstInstance first(key);
    EXPECT_FALSE(first.anotherInstanceAnswered(1000));
    EXPECT_TRUE(first.listening());
}

// The real program, started twice on the same profile: the second start ends at once and the
// first keeps running.
TEST(Program, SecondStartHandsOverAndEnds) {
    TempConfigHome config;
    TempDataFolder data;
    QProcess first;
    first.start(VELTRANE_PROGRAM, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // Up once it answers; asking brings it to the front, which is harmless here.
    FirstInstance probe(FirstInstance::defaultKey());
    ASSERT_TRUE(waitFor([&] { return probe.askRunning(500); }, 20000)) << first.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(data.file("known.lst"))); // the first start seeded the data folder

    QProcess second;
    second.start(VELTRANE_PROGRAM, {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000)) {
        first.kill();
        first.waitForFinished(5000);
    }
}

} // namespace
} // namespace veltrane::test
