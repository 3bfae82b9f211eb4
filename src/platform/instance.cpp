#include "platform/instance.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <algorithm>
#include <optional>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A message is a quint32 code and a length-prefixed UTF-8 file name; the
// receiver answers each one it has read with a single kAck byte.
constexpr quint32 kRaiseCode = 0x463;
constexpr quint32 kFileCode = 0x464;
constexpr char kAck = '\x06';
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;
// A live instance accepts at once; this only bounds a wedged listen queue.
constexpr int kProbeMs = 1000;

int RemainingMs(const QDeadlineTimer& deadline) {
    return static_cast<int>(deadline.remainingTime());
}

// A handle on a named semaphore that holds at most the count 1.
class TNamedSemaphore {
public:
    // Opens the semaphore, creating it with the given count when missing.
    TNamedSemaphore(const QString& name, unsigned count)
        : semaphore_(sem_open(QFile::encodeName(name).constData(), O_CREAT, 0600, count)) {}
    ~TNamedSemaphore() {
        if (IsOpen()) sem_close(semaphore_);
    }
    TNamedSemaphore(const TNamedSemaphore&) = delete;
    TNamedSemaphore& operator=(const TNamedSemaphore&) = delete;

    static void Remove(const QString& name) { sem_unlink(QFile::encodeName(name).constData()); }

    bool IsOpen() const { return semaphore_ != SEM_FAILED; }

    // Measured on the monotonic clock, so a change of the wall clock
    // neither stretches nor cuts the wait.
    bool Take(const QDeadlineTimer& deadline) {
        if (!IsOpen()) return false;
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        const qint64 ms = deadline.remainingTime();
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
};

// A connection alone is the proof of life: a crashed instance leaves a socket
// file that refuses connections.
bool InstanceAnswers(const QString& serverName) {
    QLocalSocket probe;
    probe.connectToServer(serverName);
    return probe.waitForConnected(kProbeMs);
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

// Writes one message and waits for the receiver to confirm it has read it.
bool Deliver(QLocalSocket& socket, quint32 code, const QString& fileName, const QDeadlineTimer& deadline) {
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << code << fileName.toUtf8();
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(RemainingMs(deadline))) return false;
    }
    // Waiting for the write may already have buffered the answer.
    while (socket.bytesAvailable() == 0 && socket.waitForReadyRead(RemainingMs(deadline))) {
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
};

QString TInstanceChannel::DefaultServerName() {
    return QStringLiteral("TtcrateFormMain-%1").arg(getuid());
}

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

bool TInstanceChannel::Listen() {
    if (d_->server.isListening()) return true;
    if (d_->lock < 0) {
        const QByteArray path = QFile::encodeName(QDir::tempPath() + "/" + d_->serverName + ".lock");
        const int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            close(fd);
            return false;
        }
        d_->lock = fd;
    }
    if (InstanceAnswers(d_->serverName)) return false;
    // Fresh names: whatever a crashed instance left behind is dropped.
    TNamedSemaphore::Remove(d_->semaphoreName);
    d_->semaphore.emplace(d_->semaphoreName, 1);
    QLocalServer::removeServer(d_->serverName);
    if (d_->semaphore->IsOpen() && d_->server.listen(d_->serverName)) return true;
    d_->semaphore.reset();
    TNamedSemaphore::Remove(d_->semaphoreName);
    return false;
}

void TInstanceChannel::FinishHandOff() {
    if (d_->semaphore) d_->semaphore->Give();
}

THandOffResult HandOff(const QStringList& files, int timeoutMs, const QString& serverName,
                       const QString& semaphoreName) {
    // A negative time would mean waiting forever on the socket.
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(RemainingMs(deadline))) {
        return socket.error() == QLocalSocket::SocketTimeoutError ? THandOffResult::kTimedOut
                                                                  : THandOffResult::kNoInstance;
    }
    if (files.isEmpty()) {
        return Deliver(socket, kRaiseCode, {}, deadline) ? THandOffResult::kRaised : THandOffResult::kTimedOut;
    }
    // The count is left taken: the receiver gives it back once it has acted.
    TNamedSemaphore semaphore(semaphoreName, 0);
    if (!semaphore.Take(deadline)) return THandOffResult::kTimedOut;
    return Deliver(socket, kFileCode, files.first(), deadline) ? THandOffResult::kHandedOver
                                                               : THandOffResult::kTimedOut;
}
