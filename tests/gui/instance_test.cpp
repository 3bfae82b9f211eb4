#include "platform/instance.h"

#include "laterstart.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <semaphore.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Names that no real instance and no other test process use.
class Instance : public ::testing::Test {
protected:
    std::unique_ptr<TInstanceChannel> Channel() { return std::make_unique<TInstanceChannel>(server_, semaphore_); }
    // The running instance, noting what arrives and finishing only when told.
    std::unique_ptr<TInstanceChannel> Running() {
        auto channel = Channel();
        EXPECT_EQ(channel->Listen(), TInstanceChannel::TListen::kListening);
        QObject::connect(channel.get(), &THandOffReceiver::RaiseRequested, [this] { ++raised_; });
        QObject::connect(channel.get(), &THandOffReceiver::FileHandedOver,
                         [this](const QString& name) { received_ << name; });
        return channel;
    }
    THandOffResult Send(const QStringList& files) { return TLaterStart(files, server_, semaphore_).Result(); }

    bool SemaphoreExists() const {
        sem_t* semaphore = sem_open(semaphore_.toUtf8().constData(), 0);
        if (semaphore == SEM_FAILED) return false;
        sem_close(semaphore);
        return true;
    }

    // What a crash leaves: a socket file nobody listens on, the count taken.
    void LeaveCrashedInstance() {
        QLocalServer probe;
        ASSERT_TRUE(probe.listen(server_));
        const QByteArray path = QFile::encodeName(probe.fullServerName());
        probe.close();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.toStdString().copy(address.sun_path, sizeof address.sun_path - 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        close(fd);
        sem_t* semaphore = sem_open(semaphore_.toUtf8().constData(), O_CREAT, 0600, 0);
        ASSERT_NE(semaphore, SEM_FAILED);
        sem_close(semaphore);
    }

    const TTestChannelNames names_{"tcrate-test"};
    const QString& server_ = names_.server;
    const QString& semaphore_ = names_.semaphore;
    int raised_ = 0;
    QStringList received_;
};

using InstanceListen = Instance;
using InstanceHandOff = Instance;
using InstanceCount = Instance;

} // namespace

TEST_F(InstanceListen, SecondChannelIsRefusedWhileTheFirstRunsAndNothingIsLeftAfterIt) {
    auto first = Channel();
    ASSERT_EQ(first->Listen(), TInstanceChannel::TListen::kListening);
    EXPECT_EQ(Channel()->Listen(), TInstanceChannel::TListen::kOtherInstance);
    EXPECT_TRUE(SemaphoreExists()); // the refused channel left the running one's alone
    first.reset();
    EXPECT_FALSE(SemaphoreExists());
    EXPECT_EQ(Channel()->Listen(), TInstanceChannel::TListen::kListening);
}

TEST_F(InstanceListen, CrashLeftoversCountAsNoInstanceAndAreReset) {
    LeaveCrashedInstance();
    EXPECT_EQ(HandOff({"/music/a.mp3"}, server_, semaphore_), THandOffResult::kNoInstance);
    auto channel = Running();
    EXPECT_EQ(Send({"/music/a.mp3"}), THandOffResult::kHandedOver);
}

TEST_F(InstanceHandOff, WithoutInstanceTheStartRunsItself) {
    EXPECT_EQ(HandOff({}, server_, semaphore_), THandOffResult::kNoInstance);
    EXPECT_EQ(HandOff({"/music/a.mp3"}, server_, semaphore_), THandOffResult::kNoInstance);
}

TEST_F(InstanceHandOff, WithoutFilesTheWindowIsRaised) {
    auto channel = Running();
    EXPECT_EQ(Send({}), THandOffResult::kRaised);
    EXPECT_EQ(raised_, 1);
    EXPECT_TRUE(received_.isEmpty());
}

TEST_F(InstanceHandOff, OnlyTheFirstFileIsDelivered) {
    auto channel = Running();
    EXPECT_EQ(Send({"/music/Ünïcode a.mp3", "/music/b.mp3"}), THandOffResult::kHandedOver);
    EXPECT_EQ(received_, QStringList{"/music/Ünïcode a.mp3"});
}

TEST_F(InstanceHandOff, MessageInPiecesIsReadWholeWhileOthersGetThrough) {
    auto channel = Running();
    QByteArray message;
    QDataStream(&message, QIODevice::WriteOnly) << quint32(0x464) << QByteArray("/music/slow.mp3");
    QLocalSocket slow;
    slow.connectToServer(server_);
    slow.write(message.left(6));
    ASSERT_TRUE(WaitUntil([&] { return slow.bytesToWrite() == 0; }));

    EXPECT_EQ(Send({"/music/quick.mp3"}), THandOffResult::kHandedOver);
    slow.write(message.mid(6));
    ASSERT_TRUE(WaitUntil([&] { return slow.bytesAvailable() > 0; }));
    EXPECT_EQ(received_, (QStringList{"/music/quick.mp3", "/music/slow.mp3"}));
}

TEST_F(InstanceCount, NextSenderWaitsForTheFinishThenGetsThrough) {
    auto channel = Running();
    ASSERT_EQ(Send({"/music/a.mp3"}), THandOffResult::kHandedOver);
    TLaterStart second({"/music/b.mp3"}, server_, semaphore_);
    EXPECT_FALSE(WaitUntil([&] { return second.Ended(); }, 200));
    EXPECT_EQ(received_, QStringList{"/music/a.mp3"});
    channel->FinishHandOff();
    EXPECT_EQ(second.Result(), THandOffResult::kHandedOver);
    EXPECT_EQ(received_, (QStringList{"/music/a.mp3", "/music/b.mp3"}));
}

TEST_F(InstanceCount, ReceiverThatNeverFinishesKeepsTheNextSenderWaitingUntilItGoes) {
    auto channel = Running();
    ASSERT_EQ(Send({"/music/a.mp3"}), THandOffResult::kHandedOver);
    TLaterStart second({"/music/b.mp3"}, server_, semaphore_);
    EXPECT_FALSE(WaitUntil([&] { return second.Ended(); }, 300));
    channel.reset();
    // Nobody took the file: the start is free to run and add it itself.
    EXPECT_EQ(second.Result(), THandOffResult::kNoInstance);
    EXPECT_EQ(received_, QStringList{"/music/a.mp3"});
}

TEST_F(InstanceCount, ASenderWhoseInstanceWentBecomesTheRunningInstance) {
    auto channel = Running();
    ASSERT_EQ(Send({"/music/a.mp3"}), THandOffResult::kHandedOver);
    std::atomic<bool> ran = false;
    std::atomic<bool> listened = false;
    std::unique_ptr<QThread> start(QThread::create([&] {
        auto own = Channel();
        const TStartDecision decision = DecideStart(*own, {"/music/b.mp3"});
        ran = decision.run;
        listened = decision.problem.isEmpty() && own->Listen() == TInstanceChannel::TListen::kListening;
    }));
    start->start();
    EXPECT_FALSE(WaitUntil([&] { return start->isFinished(); }, 300));
    channel.reset();
    ASSERT_TRUE(WaitUntil([&] { return start->isFinished(); }, 15000));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(listened);
}

TEST_F(InstanceCount, RejectedFilesFreeTheCountForTheNextSender) {
    auto channel = Running();
    QObject::connect(channel.get(), &THandOffReceiver::FileHandedOver, channel.get(),
                     &THandOffReceiver::FinishHandOff);
    for (const char* name : {"/music/a.mp3", "/music/b.mp3", "/music/c.mp3"})
        EXPECT_EQ(Send({name}), THandOffResult::kHandedOver);
}

TEST_F(InstanceCount, FinishingTwiceDoesNotLetTwoSendersThrough) {
    auto channel = Running();
    channel->FinishHandOff();
    channel->FinishHandOff();
    EXPECT_EQ(Send({"/music/a.mp3"}), THandOffResult::kHandedOver);
    TLaterStart second({"/music/b.mp3"}, server_, semaphore_);
    EXPECT_FALSE(WaitUntil([&] { return second.Ended(); }, 300));
    channel.reset();
    EXPECT_EQ(second.Result(), THandOffResult::kNoInstance);
}
