#pragma once

#include <QObject>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "browser/trackrow.h"
#include "search/searchcriteria.h"

class TTUNECRATE;

// The search worker: waits for criteria, tests every item of the library
// against them in list order and hands the matches to the window's thread in
// batches by queued signals. It reads the library under the shared lock that
// every change of the library takes exclusively, and never touches a widget.
// There is at most one search at a time.
class TSearchThread : public QObject {
    Q_OBJECT
public:
    // Matches go out as soon as more than this many wait, and the rest at the end.
    static constexpr int kBatch = 20;

    TSearchThread(const TTUNECRATE* library, std::shared_mutex& libraryLock, QObject* parent = nullptr);
    // Lets a running search finish, then ends the thread.
    ~TSearchThread() override;

    // Starts a search; false, and nothing done, while one is waiting to start or running.
    bool Search(const TSearchCriteria& criteria);
    bool Searching() const;

signals:
    void SearchStarted();
    // Rows of the matching items in library order; the last batch of a
    // search may be empty.
    void MatchesFound(TTrackRows matches);
    void SearchFinished();

private:
    void Execute();

    const TTUNECRATE* library_;
    std::shared_mutex& libraryLock_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    TSearchCriteria criteria_;
    bool requested_ = false;
    bool searching_ = false;
    bool terminated_ = false;
    std::thread thread_;
};
