#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The receiving side of the hand-off from later starts of the program, as the
// main window sees it. A fake stands in for it in tests.
class THandOffReceiver : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Gives the hand-off count back; called once after every FileHandedOver,
    // whatever the window did with the file.
    virtual void FinishHandOff() = 0;

signals:
    // A later start without a file: restore and raise the window.
    void RaiseRequested();
    // A later start with a file: the first of its arguments.
    void FileHandedOver(const QString& fileName);
};

// One running instance per user: the first start listens on a local socket
// named after the main window's class name and the user id; a later start
// connects to it, takes the count of the semaphore "AddFiles" (also named
// with the user id), sends the message 0x464 with its first argument, and
// ends. The receiver releases the count after acting on the file, so one
// hand-off is on its way at a time.
class TInstanceChannel final : public THandOffReceiver {
    Q_OBJECT
public:
    // The names for the current user: "TtcrateFormMain-<uid>" and "/AddFiles-<uid>".
    static QString DefaultServerName();
    static QString DefaultSemaphoreName();

    explicit TInstanceChannel(QString serverName = DefaultServerName(),
                              QString semaphoreName = DefaultSemaphoreName(), QObject* parent = nullptr);
    ~TInstanceChannel() override;

    // Becomes the running instance: removes a socket or semaphore a crashed
    // instance left behind, creates the semaphore with the count 1 and
    // listens. False when another instance is running, or when the socket or
    // the semaphore cannot be made.
    bool Listen();
    void FinishHandOff() override;

private:
    struct Private;
    Private* d_;
};

// What a later start did.
enum class THandOffResult {
    kNoInstance, // nobody listens: this start becomes the running instance
    kRaised,     // no file: the running window was asked to come to the front
    kHandedOver, // the first file was handed over
    kTimedOut,   // the running instance did not take the hand-off in time
};

// The sending side, run by a later start before any window exists. Waits at
// most timeoutMs for the count and the delivery.
THandOffResult HandOff(const QStringList& files, int timeoutMs = 10000,
                       const QString& serverName = TInstanceChannel::DefaultServerName(),
                       const QString& semaphoreName = TInstanceChannel::DefaultSemaphoreName());
