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

    SingleInstance second(uniqueName());
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(shown.wait(5000));
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
