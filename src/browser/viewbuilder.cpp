#include "browser/viewbuilder.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "core/box.h"

namespace {

using TClock = std::chrono::steady_clock;

// Large enough that a big box costs few signals, small enough that the
// first rows show at once.
constexpr qsizetype kBatchRows = 4096;
constexpr auto kBatchEvery = std::chrono::milliseconds(20);
constexpr auto kStatusEvery = std::chrono::milliseconds(30);

} // namespace

struct TCreateViewThread::Private {
    Private(TCreateViewThread& owner, std::shared_mutex& lock) : q(owner), libraryLock(lock) {}

    void Run();
    void List(TBOX* box, quint64 build);
    bool GivesWay(quint64 build) const {
        // Cancel first: RequestBuild counts up before it clears the flag, so a
        // cleared flag seen here means the newer number is seen too.
        return cancel.load() || number.load() != build;
    }

    TCreateViewThread& q;
    std::shared_mutex& libraryLock;
    std::mutex mutex; // guards queued, hasQueued and quit
    std::condition_variable wake;
    TBOX* queued = nullptr;
    bool hasQueued = false;
    bool quit = false;
    std::atomic<bool> cancel{false};
    std::atomic<quint64> number{0};
    std::thread thread;
};

void TCreateViewThread::Private::Run() {
    for (;;) {
        TBOX* box = nullptr;
        quint64 build = 0;
        {
            std::unique_lock guard(mutex);
            wake.wait(guard, [this] { return quit || hasQueued; });
            if (quit) return;
            box = queued;
            hasQueued = false;
            build = number.load();
        }
        if (box)
            List(box, build);
        else
            emit q.BuildStarted(build);
        emit q.BuildFinished(build);
    }
}

void TCreateViewThread::Private::List(TBOX* box, quint64 build) {
    std::shared_lock reading(libraryLock);
    if (GivesWay(build)) return;
    const int children = box->ChildCount();
    const int rows = children + box->ItemCount();
    const QString base = QStringLiteral("boxs=%1, files=%2").arg(children).arg(rows - children);
    emit q.StatusText(build, base);
    emit q.BuildStarted(build);

    TTrackRows batch;
    batch.reserve(kBatchRows);
    auto batchStart = TClock::now();
    auto statusShown = batchStart;
    for (int row = 0; row < rows; ++row) {
        // Also the check after the lock was taken again: the box may have
        // changed meanwhile only if this build was cancelled or overtaken.
        if (GivesWay(build)) return;
        batch.append(row < children ? TTrackRow{box->GetChild(row), nullptr}
                                    : TTrackRow{nullptr, box->GetItem(row - children)});
        const auto now = TClock::now();
        if (now - statusShown >= kStatusEvery) {
            emit q.StatusText(build, base + QStringLiteral(" finished=%1").arg(row + 1));
            statusShown = now;
        }
        if (batch.size() >= kBatchRows || now - batchStart >= kBatchEvery) {
            // The window's changes wait for the lock: let them in between batches.
            reading.unlock();
            emit q.RowsReady(build, std::exchange(batch, TTrackRows()));
            batch.reserve(kBatchRows);
            reading.lock();
            batchStart = TClock::now();
        }
    }
    reading.unlock();
    if (!batch.isEmpty()) emit q.RowsReady(build, batch);
    emit q.StatusText(build, base + QStringLiteral(" finished=%1").arg(rows));
}

TCreateViewThread::TCreateViewThread(std::shared_mutex& libraryLock, QObject* parent)
    : QObject(parent), d_(new Private(*this, libraryLock)) {
    qRegisterMetaType<TTrackRows>();
    d_->thread = std::thread([this] { d_->Run(); });
}

TCreateViewThread::~TCreateViewThread() {
    d_->cancel = true;
    {
        const std::lock_guard guard(d_->mutex);
        d_->quit = true;
    }
    d_->wake.notify_one();
    d_->thread.join();
    delete d_;
}

void TCreateViewThread::RequestBuild(TBOX* box) {
    {
        const std::lock_guard guard(d_->mutex);
        d_->queued = box;
        d_->hasQueued = true;
        // Count up before clearing the flag: a running build must never see
        // neither the cancel nor the newer number.
        ++d_->number;
        d_->cancel = false;
    }
    d_->wake.notify_one();
}

void TCreateViewThread::CancelBuild() { d_->cancel = true; }

quint64 TCreateViewThread::CurrentBuild() const { return d_->number.load(); }
