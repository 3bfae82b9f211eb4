#include "search/searchthread.h"

#include "core/library.h"

TSearchThread::TSearchThread(const TTUNECRATE* library, std::shared_mutex& libraryLock, QObject* parent)
    : QObject(parent), library_(library), libraryLock_(libraryLock) {
    qRegisterMetaType<TTrackRows>();
    thread_ = std::thread([this] { Execute(); });
}

TSearchThread::~TSearchThread() {
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

bool TSearchThread::Search(const TSearchCriteria& criteria) {
    {
        std::lock_guard lock(mutex_);
        if (searching_ || terminated_) return false;
        criteria_ = criteria;
        requested_ = true;
        searching_ = true;
    }
    wake_.notify_one();
    return true;
}

bool TSearchThread::Searching() const {
    std::lock_guard lock(mutex_);
    return searching_;
}

void TSearchThread::Execute() {
    for (;;) {
        TSearchCriteria criteria;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return requested_ || terminated_; });
            if (terminated_) return;
            requested_ = false;
            criteria = criteria_;
        }
        emit SearchStarted();
        if (library_ != nullptr) {
            std::shared_lock reading(libraryLock_);
            TTrackRows matches;
            for (int i = 0; i < library_->Count(); ++i) {
                TMObj* item = library_->GetItem(i);
                if (!criteria.Matches(*item)) continue;
                matches.push_back({nullptr, item});
                if (matches.size() > kBatch) {
                    emit MatchesFound(matches);
                    matches.clear();
                }
            }
            emit MatchesFound(matches);
        } else {
            emit MatchesFound({});
        }
        {
            std::lock_guard lock(mutex_);
            searching_ = false;
        }
        emit SearchFinished();
    }
}
