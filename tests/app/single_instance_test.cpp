#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

namespace torvane::app {
namespace {

QString uniqueName() {
    return QStringLiteral("torvane-test-%1").arg(QCoreApplication::applicationPid());
}

TEST(SingleInstance, ASecondStartAsksTheFirstToShowItselfAndStepsAside) {
    SingleInstance first(uniqueName());
    ASSERT_TRUE(first.claim());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    QSignalSpy files(&first, &SingleInstance::filesRequested);

    // The files of the second start reach the first, whatever characters their paths hold.
    const QStringList given{QStringLiteral("/media/여행 1.mp4"), QStringLiteral("/media/odd\nname %20.avi")};
    SingleInstance second(uniqueName());
    EXPECT_FALSE(second.claim(given));
    EXPECT_TRUE(shown.wait(5000));
    ASSERT_EQ(files.count(), 1);
    EXPECT_EQ(files.at(0).at(0).toStringList(), given);
}

TEST(SingleInstance, TheNameIsFreeAgainOnceTheFirstHasEnded) {
    {
        SingleInstance first(uniqueName());
        ASSERT_TRUE(first.claim());
    }
    SingleInstance next(uniqueName());
    EXPECT_TRUE(next.claim());
}

}  // namespace
}  // namespace torvane::app
