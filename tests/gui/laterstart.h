#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QDeadlineTimer>
#include <QThread>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <semaphore.h>
#include <unistd.h>

#include "platform/instance.h"

// Channel names of this test process alone, and nothing of them left
// behind: the server, the semaphore and the lock file.
struct TTestChannelNames {
    explicit TTestChannelNames(const QString& prefix)
        : server(QStringLiteral("%1-%2").arg(prefix).arg(getpid())),
          semaphore(QStringLiteral("/%1-%2").arg(prefix).arg(getpid())) {}
    ~TTestChannelNames() {
        QLocalServer::removeServer(server);
        sem_unlink(semaphore.toUtf8().constData());
        QFile::remove(TInstanceChannel::LockFileName(server));
    }
    TTestChannelNames(const TTestChannelNames&) = delete;
    TTestChannelNames& operator=(const TTestChannelNames&) = delete;

    const QString server;
    const QString semaphore;
};

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

