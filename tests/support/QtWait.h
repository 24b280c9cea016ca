#pragma once
// Waiting in window tests for work that ends on another thread: the event loop runs, woken by
// the work's own events, until the condition holds. The limit only keeps a broken run from
// hanging the suite; nothing waits for a set time.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <functional>

namespace zarn::fakes {

inline void WaitUntil(const std::function<bool()>& condition) {
    const QDeadlineTimer limit(60'000);
    while (!condition() && !limit.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    ASSERT_TRUE(condition()) << "still waiting after a minute";
}

}  // namespace zarn::fakes
