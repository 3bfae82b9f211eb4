#pragma once

#include <QObject>
#include <QString>
#include <shared_mutex>

#include "browser/trackrow.h"

class TBOX;

// The view builder: a worker thread that lists a box (its child boxes, then
// its own items) for the track list, so that the window stays responsive
// while a large box is listed. Only the newest request counts, and a build
// gives way before every row to a newer request or a cancel. The rows reach
// the window's thread in batches by queued signals, each tagged with its
// build number; the window drops what belongs to an older build.
//
// The builder reads boxes under a shared lock of the library; every change of
// the library takes that lock exclusively.
class TCreateViewThread : public QObject {
    Q_OBJECT
public:
    explicit TCreateViewThread(std::shared_mutex& libraryLock, QObject* parent = nullptr);
    // Cancels the build and ends the thread.
    ~TCreateViewThread() override;

    // Window's thread: lists the box (after any build still running gives way).
    void RequestBuild(TBOX* box);
    void CancelBuild();
    // The number of the newest build requested; signals of older ones are stale.
    quint64 CurrentBuild() const;

signals:
    // A build begins: the window clears the list and suspends its repainting.
    void BuildStarted(quint64 build);
    void RowsReady(quint64 build, TTrackRows rows);
    // "boxs=<children>, files=<items>" and then " finished=<rows>", at most
    // every few tens of milliseconds and once at the end of the rows.
    void StatusText(quint64 build, QString text);
    // The build ended, complete or given way; the window sorts and repaints.
    void BuildFinished(quint64 build);

private:
    struct Private;
    Private* d_;
};
