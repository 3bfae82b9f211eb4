#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "platform/instance.h"

// Serves the channel until done() holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// A later start, run on its own thread while this one serves the channel.
class TLaterStart {
public:
    TLaterStart(const QStringList& files, const QString& server, const QString& semaphore)
        : thread_(QThread::create([=, this] { result_ = HandOff(files, server, semaphore); })) {
        thread_->start();
    }
    ~TLaterStart() { thread_->wait(); }

    bool Ended() const { return thread_->isFinished(); }
    // Waits for the end, serving the channel meanwhile.
    THandOffResult Result() {
        EXPECT_TRUE(WaitUntil([this] { return Ended(); }, 15000));
        return result_;
    }

private:
    std::atomic<THandOffResult> result_{THandOffResult::kNoInstance};
    std::unique_ptr<QThread> thread_;
};

