#include "platform/instance.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

#include <optional>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A message is a quint32 code and a length-prefixed UTF-8 file name; the
// receiver answers each one it has read with a single kAck byte, before it
// acts on it.
constexpr quint32 kRaiseCode = 0x463;
constexpr quint32 kFileCode = 0x464;
constexpr char kAck = '\x06';
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;
// A live instance accepts at once; this only bounds a wedged listen queue.
constexpr int kProbeMs = 1000;
// How often a sender waiting for the count looks whether the instance is still there.
constexpr int kAliveCheckMs = 100;
// How long a start waits for another one that holds the lock but does not listen.
constexpr int kLockRetries = 50;
constexpr int kLockRetryMs = 20;

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A handle on a named semaphore that holds at most the count 1.
class TNamedSemaphore {
public:
    // Opens the semaphore, creating it with the given count when missing.
    TNamedSemaphore(const QString& name, unsigned count)
        : semaphore_(sem_open(QFile::encodeName(name).constData(), O_CREAT, 0600, count)),
          error_(IsOpen() ? 0 : errno) {}
    ~TNamedSemaphore() {
        if (IsOpen()) sem_close(semaphore_);
    }
    TNamedSemaphore(const TNamedSemaphore&) = delete;
    TNamedSemaphore& operator=(const TNamedSemaphore&) = delete;

    static void Remove(const QString& name) { sem_unlink(QFile::encodeName(name).constData()); }

    bool IsOpen() const { return semaphore_ != SEM_FAILED; }
    int Error() const { return error_; }

    // Measured on the monotonic clock, so a change of the wall clock
    // neither stretches nor cuts the wait.
    bool Take(int ms) {
        if (!IsOpen()) return false;
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_sec += static_cast<time_t>(ms / 1000);
        until.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        int result = 0;
        do result = sem_clockwait(semaphore_, CLOCK_MONOTONIC, &until);
        while (result != 0 && errno == EINTR);
        return result == 0;
    }

    // Only the receiver gives the count back, so reading 0 here means a post
    // cannot take it past 1.
    void Give() {
        int value = 0;
        if (IsOpen() && sem_getvalue(semaphore_, &value) == 0 && value < 1) sem_post(semaphore_);
    }

private:
    sem_t* semaphore_;
    int error_;
};

// A connection alone is the proof of life: a crashed instance leaves a socket
// file that refuses connections.
bool InstanceAnswers(const QString& serverName) {
    QLocalSocket probe;
    probe.connectToServer(serverName);
    return probe.waitForConnected(kProbeMs);
}

// The instance is gone once it has closed its end (a crash closes it too).
bool InstanceGone(QLocalSocket& socket) {
    return socket.state() != QLocalSocket::ConnectedState || socket.waitForDisconnected(0);
}

// Takes every complete message off the socket; an incomplete one stays
// buffered until the rest arrives.
void ReadMessages(QLocalSocket& socket, THandOffReceiver& receiver) {
    // A slot may run a nested event loop (a message box), in which the
    // sender's disconnect deletes the socket.
    const QPointer<QLocalSocket> alive(&socket);
    QDataStream in(&socket);
    in.setVersion(kStreamVersion);
    for (;;) {
        in.startTransaction();
        quint32 code = 0;
        QByteArray name;
        in >> code >> name;
        if (!in.commitTransaction()) return;
        if (code != kRaiseCode && code != kFileCode) {
            socket.abort();
            return;
        }
        socket.write(&kAck, 1);
        socket.flush();
        if (code == kRaiseCode)
            emit receiver.RaiseRequested();
        else
            emit receiver.FileHandedOver(QString::fromUtf8(name));
        if (!alive) return;
    }
}

// Writes one message and waits, as long as the connection holds, for the
// receiver to confirm it has read it.
bool Deliver(QLocalSocket& socket, quint32 code, const QString& fileName) {
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << code << fileName.toUtf8();
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(-1)) return false;
    }
    // Waiting for the write may already have buffered the answer.
    while (socket.bytesAvailable() == 0 && socket.waitForReadyRead(-1)) {
    }
    return socket.read(1) == QByteArray(1, kAck);
}

} // namespace

struct TInstanceChannel::Private {
    Private(QString server, QString semaphore) : serverName(std::move(server)), semaphoreName(std::move(semaphore)) {}

    QString serverName;
    QString semaphoreName;
    QLocalServer server;
    // Open only while this channel is the running instance.
    std::optional<TNamedSemaphore> semaphore;
    // Held while this channel is the running instance: of two first starts
    // in the same instant only one can take it (the kernel lets go of it
    // when the process ends, however it ends).
    int lock = -1;
    QString error; // why the last Listen failed
};

QString TInstanceChannel::DefaultServerName() {
    return QStringLiteral("TtcrateFormMain-%1").arg(getuid());
}

QString TInstanceChannel::LockFileName(const QString& serverName) { return QDir::tempPath() + "/" + serverName + ".lock"; }

QString TInstanceChannel::DefaultSemaphoreName() {
    return QStringLiteral("/AddFiles-%1").arg(getuid());
}

TInstanceChannel::TInstanceChannel(QString serverName, QString semaphoreName, QObject* parent)
    : THandOffReceiver(parent), d_(new Private(std::move(serverName), std::move(semaphoreName))) {
    d_->server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&d_->server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = d_->server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadMessages(*socket, *this); });
        }
    });
}

TInstanceChannel::~TInstanceChannel() {
    d_->server.close();
    if (d_->lock >= 0) close(d_->lock);
    if (d_->semaphore) {
        d_->semaphore.reset();
        TNamedSemaphore::Remove(d_->semaphoreName);
    }
    delete d_;
}

TInstanceChannel::TListen TInstanceChannel::Listen() {
    if (d_->server.isListening()) return TListen::kListening;
    d_->error.clear();
    if (d_->lock < 0) {
        const QString path = LockFileName(d_->serverName);
        const int fd = open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            // Without the lock only a live instance's answer tells that one runs.
            const int error = errno;
            if (InstanceAnswers(d_->serverName)) return TListen::kOtherInstance;
            d_->error = path + ": " + SystemError(error);
            return TListen::kFailed;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            close(fd);
            return TListen::kOtherInstance;
        }
        d_->lock = fd;
    }
    if (InstanceAnswers(d_->serverName)) return TListen::kOtherInstance;
    // Fresh names: whatever a crashed instance left behind is dropped.
    TNamedSemaphore::Remove(d_->semaphoreName);
    d_->semaphore.emplace(d_->semaphoreName, 1);
    if (!d_->semaphore->IsOpen()) {
        d_->error = d_->semaphoreName + ": " + SystemError(d_->semaphore->Error());
    } else {
        QLocalServer::removeServer(d_->serverName);
        errno = 0;
        if (d_->server.listen(d_->serverName)) return TListen::kListening;
        // Qt's text is at best "Address in use"; the system says what is in the way.
        const int error = errno;
        d_->error = QDir::tempPath() + "/" + d_->serverName + ": " +
                    (error != 0 ? SystemError(error) : d_->server.errorString());
    }
    // The lock stays taken: this start still is the running instance.
    d_->semaphore.reset();
    TNamedSemaphore::Remove(d_->semaphoreName);
    return TListen::kFailed;
}

QString TInstanceChannel::ErrorString() const { return d_->error; }

const QString& TInstanceChannel::ServerName() const { return d_->serverName; }

const QString& TInstanceChannel::SemaphoreName() const { return d_->semaphoreName; }

void TInstanceChannel::FinishHandOff() {
    if (d_->semaphore) d_->semaphore->Give();
}

THandOffResult HandOff(const QStringList& files, const QString& serverName, const QString& semaphoreName) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(-1)) return THandOffResult::kNoInstance;
    if (files.isEmpty()) {
        return Deliver(socket, kRaiseCode, {}) ? THandOffResult::kRaised : THandOffResult::kNoInstance;
    }
    // The count is left taken: the receiver gives it back once it has acted.
    TNamedSemaphore semaphore(semaphoreName, 0);
    if (!semaphore.IsOpen()) return THandOffResult::kNoSemaphore;
    while (!semaphore.Take(kAliveCheckMs)) {
        if (InstanceGone(socket)) return THandOffResult::kNoInstance;
    }
    return Deliver(socket, kFileCode, QFileInfo(files.first()).absoluteFilePath()) ? THandOffResult::kHandedOver
                                                                                  : THandOffResult::kNoInstance;
}

TStartDecision DecideStart(TInstanceChannel& channel, const QStringList& files) {
    for (int attempt = 0;; ++attempt) {
        switch (HandOff(files, channel.ServerName(), channel.SemaphoreName())) {
        case THandOffResult::kRaised:
        case THandOffResult::kHandedOver: return {false, 0, {}};
        case THandOffResult::kNoSemaphore:
            return {false, 1, "the running Tunecrate cannot be handed a file: " + channel.SemaphoreName() +
                                  " cannot be opened"};
        case THandOffResult::kNoInstance: break;
        }
        switch (channel.Listen()) {
        case TInstanceChannel::TListen::kListening: return {true, 0, {}};
        case TInstanceChannel::TListen::kFailed:
            return {true, 0, channel.ErrorString()};
        case TInstanceChannel::TListen::kOtherInstance: break;
        }
        // Another start holds the lock: it is about to listen, or it runs
        // without its channel.
        if (attempt == kLockRetries) return {false, 1, "the running Tunecrate takes no files from later starts"};
        QThread::msleep(kLockRetryMs);
    }
}
