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
    // The file whose lock the running instance holds, kept between runs.
    static QString LockFileName(const QString& serverName);

    explicit TInstanceChannel(QString serverName = DefaultServerName(),
                              QString semaphoreName = DefaultSemaphoreName(), QObject* parent = nullptr);
    ~TInstanceChannel() override;

    enum class TListen {
        kListening,     // this start is the running instance, reachable by later starts
        kOtherInstance, // another start runs, or is just becoming the running instance
        kFailed,        // this start is the running instance, but later starts cannot reach it
    };
    // Becomes the running instance: removes a socket or semaphore a crashed
    // instance left behind, creates the semaphore with the count 1 and
    // listens. After kFailed, ErrorString says what could not be made.
    TListen Listen();
    QString ErrorString() const;
    void FinishHandOff() override;

    const QString& ServerName() const;
    const QString& SemaphoreName() const;

private:
    struct Private;
    Private* d_;
};

// What a later start did.
enum class THandOffResult {
    kNoInstance,  // nobody listens, or the running instance went before it took the file
    kRaised,      // no file: the running window was asked to come to the front
    kHandedOver,  // the first file was handed over
    kNoSemaphore, // the semaphore "AddFiles" could not be opened
};

// The sending side, run by a later start before any window exists. The first
// file goes over by its absolute name, since the running instance works in
// another folder. A busy window only delays the hand-off: it waits as long
// as the running instance keeps the connection.
THandOffResult HandOff(const QStringList& files,
                       const QString& serverName = TInstanceChannel::DefaultServerName(),
                       const QString& semaphoreName = TInstanceChannel::DefaultSemaphoreName());

// How a start goes on: it ends (handed over, or nothing it can do), or it
// runs as the running instance, without its channel when problem is set.
struct TStartDecision {
    bool run = false;
    int exitCode = 0; // when it ends
    // When it ends: why, when it failed. When it runs: what kept the channel
    // from being made (a path or name and the system's reason).
    QString problem;
};
// Hands over to the running instance or becomes it. A start that finds the
// running instance without a channel waits a moment (it may be about to
// listen) and then ends.
TStartDecision DecideStart(TInstanceChannel& channel, const QStringList& files);
