#include "playback/mpris.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kEntry = "/org/tunecrate/entry/7";
constexpr qint64 kLength = 200'000'000;
constexpr int kWaitMs = 5000;

// Answers from plain fields and notes each command it is given. The service
// thread touches it only while the test waits for an answer.
class TFakeTarget : public TMprisTarget {
public:
    TStatus status = TStatus::Stopped;
    std::optional<TTrack> track;
    qint64 position = 0;
    double volume = 0.5;
    bool queue = true;
    bool seekable = true;

    TStatus Status() const override { return status; }
    std::optional<TTrack> Track() const override { return track; }
    qint64 PositionUs() const override { return position; }
    double Volume() const override { return volume; }
    void SetVolume(double value) override { volume = value; }
    bool HasQueue() const override { return queue; }
    bool CanSeek() const override { return seekable; }

    void PlayPause() override {
        calls << "PlayPause";
        status = status == TStatus::Playing ? TStatus::Paused : TStatus::Playing;
    }
    void Play() override { calls << "Play"; }
    void Pause() override { calls << "Pause"; }
    void Stop() override { calls << "Stop"; }
    void Next() override { calls << "Next"; }
    void Previous() override { calls << "Previous"; }
    void SeekBy(qint64 offsetUs) override { calls << QString("SeekBy %1").arg(offsetUs); }
    void SetPositionUs(qint64 positionUs) override { calls << QString("SetPositionUs %1").arg(positionUs); }
    void Raise() override { calls << "Raise"; }
    void Quit() override { calls << "Quit"; }

    QStringList calls;
};

// A private bus for the suite, never the user's session. The service runs
// in a thread of its own, so that the client's blocking calls are answered.
class Mpris : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const QString program = QStandardPaths::findExecutable("dbus-daemon");
        if (program.isEmpty()) return;
        daemon_ = new QProcess;
        daemon_->start(program, {"--session", "--nofork", "--print-address"});
        const QDeadlineTimer deadline(kWaitMs);
        while (!daemon_->canReadLine() && daemon_->waitForReadyRead(deadline.remainingTime())) {}
        address_ = QString::fromUtf8(daemon_->readLine()).trimmed();
    }
    static void TearDownTestSuite() {
        if (daemon_ == nullptr) return;
        daemon_->terminate();
        daemon_->waitForFinished(kWaitMs);
        delete daemon_;
        daemon_ = nullptr;
    }

    void SetUp() override {
        if (daemon_ == nullptr) GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_FALSE(address_.isEmpty()) << "the private bus did not start";
        target_.track = TMprisTarget::TTrack{kEntry, kLength, "晴天", "周杰伦", "叶惠美", "file:///tmp/cover.jpg"};
        worker_.start();
        service_ = std::make_unique<TMprisService>(target_);
        service_->moveToThread(&worker_);
        bool registered = false;
        InService([&] { registered = service_->Register(Bus()); });
        ASSERT_TRUE(registered);
        client_ = Bus();
        for (const char* name : {"org.mpris.MediaPlayer2", kPlayer, "org.freedesktop.DBus.Properties"}) {
            interfaces_.push_back(std::make_unique<QDBusInterface>(kMprisServiceName, kPath, name, *client_));
            ASSERT_TRUE(interfaces_.back()->isValid()) << qPrintable(interfaces_.back()->lastError().message());
            interfaces_.back()->setTimeout(kWaitMs);
        }
    }
    void TearDown() override {
        interfaces_.clear();
        StopService();
        for (const QString& name : connections_) QDBusConnection::disconnectFromBus(name);
    }

    QDBusConnection Bus() {
        connections_ << QString("mpris-test-%1").arg(connections_.size());
        return QDBusConnection::connectToBus(address_, connections_.back());
    }
    void InService(const std::function<void()>& work) {
        QMetaObject::invokeMethod(service_.get(), work, Qt::BlockingQueuedConnection);
    }
    // Back home first: the object's own signals (destroyed) are relayed
    // only from its thread.
    void StopService() {
        if (service_) InService([this] { service_->moveToThread(QCoreApplication::instance()->thread()); });
        worker_.quit();
        worker_.wait();
        service_.reset();
    }

    QDBusInterface& Root() { return *interfaces_[0]; }
    QDBusInterface& Player() { return *interfaces_[1]; }
    QDBusInterface& Properties() { return *interfaces_[2]; }

    void Call(const QString& method, const QVariantList& args = {}) {
        const QDBusMessage reply = Player().callWithArgumentList(QDBus::Block, method, args);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(method + ": " + reply.errorMessage());
    }
    QVariantMap Metadata() { return Player().property("Metadata").toMap(); }

    // The bus answers a connection's messages in order: once this returns, a
    // match rule added for a spy before it is in force.
    void SyncWithBus() { client_->interface()->serviceOwner(kMprisServiceName); }
    static bool Arrived(QSignalSpy& spy, qsizetype count) {
        while (spy.count() < count && spy.wait(kWaitMs)) {}
        return spy.count() >= count;
    }
    static QStringList ChangedNames(const QSignalSpy& spy, qsizetype index) {
        EXPECT_EQ(spy.at(index).at(0).toString(), kPlayer);
        EXPECT_TRUE(spy.at(index).at(2).toStringList().isEmpty());
        return qdbus_cast<QVariantMap>(spy.at(index).at(1)).keys();
    }

    static inline QProcess* daemon_ = nullptr;
    static inline QString address_;
    TFakeTarget target_;
    QThread worker_;
    std::unique_ptr<TMprisService> service_;
    QStringList connections_;
    std::optional<QDBusConnection> client_;
    std::vector<std::unique_ptr<QDBusInterface>> interfaces_;
};

using MprisRegister = Mpris;
using MprisCommands = Mpris;
using MprisProperties = Mpris;
using MprisSignals = Mpris;

QVariant Path(const char* path) { return QVariant::fromValue(QDBusObjectPath(path)); }

} // namespace

TEST_F(MprisRegister, TheNameIsHeldUntilTheServiceGoesAndASecondOneIsRefused) {
    QDBusConnectionInterface& bus = *client_->interface();
    const QString owner = bus.serviceOwner(kMprisServiceName);
    TMprisService second(target_);
    EXPECT_FALSE(second.Register(Bus()));
    EXPECT_FALSE(second.Registered());
    EXPECT_EQ(bus.serviceOwner(kMprisServiceName).value(), owner);

    interfaces_.clear();
    StopService();
    EXPECT_FALSE(bus.isServiceRegistered(kMprisServiceName).value());
    EXPECT_TRUE(second.Register(Bus()));
}

TEST_F(MprisRegister, NoBusIsRefusedQuietly) {
    TMprisService service(target_);
    connections_ << "mpris-test-nowhere";
    EXPECT_FALSE(service.Register(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", connections_.back())));
    EXPECT_FALSE(service.Registered());
}

TEST_F(MprisCommands, ReachTheTargetWithSeeksAndPositionsOnlyForTheEntryBeingPlayed) {
    Call("PlayPause");
    Call("Play");
    Call("Pause");
    Call("Stop");
    Call("Next");
    Call("Previous");
    Call("Seek", {qlonglong{-5'000'000}});
    Call("SetPosition", {Path(kEntry), qlonglong{1000}});
    Call("SetPosition", {Path("/org/tunecrate/entry/8"), qlonglong{1000}});
    Call("SetPosition", {Path(kEntry), qlonglong{-1}});
    Call("SetPosition", {Path(kEntry), qlonglong{kLength + 1}});
    Call("SetPosition", {Path(kEntry), qlonglong{kLength}});
    Call("OpenUri", {"file:///tmp/song.mp3"});
    EXPECT_EQ(target_.calls, QStringList({"PlayPause", "Play", "Pause", "Stop", "Next", "Previous", "SeekBy -5000000",
                                            "SetPositionUs 1000", "SetPositionUs 200000000"}));
}

TEST_F(MprisCommands, DoNothingThePlayerCannotDoNow) {
    target_.queue = false;
    target_.seekable = false;
    for (const char* method : {"PlayPause", "Play", "Pause", "Next", "Previous", "Stop"}) Call(method);
    Call("Seek", {qlonglong{1000}});
    Call("SetPosition", {Path(kEntry), qlonglong{1000}});
    EXPECT_EQ(target_.calls, QStringList({"Stop"}));
}

TEST_F(MprisCommands, RaiseAndQuitReachTheWindow) {
    EXPECT_EQ(Root().call("Raise").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Root().call("Quit").type(), QDBusMessage::ReplyMessage);
    // Quit was queued behind the answer; this round trip comes after it.
    InService([] {});
    EXPECT_EQ(target_.calls, QStringList({"Raise", "Quit"}));
}

TEST_F(MprisProperties, RootNamesTheProgramAndWhatItOpens) {
    const QDBusMessage reply = Properties().call("GetAll", "org.mpris.MediaPlayer2");
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    const QVariantMap root = qdbus_cast<QVariantMap>(reply.arguments().at(0));
    EXPECT_EQ(root.value("Identity").toString(), "Tunecrate");
    EXPECT_EQ(root.value("DesktopEntry").toString(), "tunecrate");
    EXPECT_TRUE(root.value("CanQuit").toBool() && root.value("CanRaise").toBool());
    EXPECT_FALSE(root.value("HasTrackList").toBool() || root.value("CanSetFullscreen").toBool());
    EXPECT_EQ(root.value("SupportedMimeTypes").toStringList(), QStringList({"audio/mpeg", "audio/x-ms-wma"}));
}

TEST_F(MprisProperties, StatusAndWhatCanBeDoneFollowThePlayer) {
    using S = TMprisTarget::TStatus;
    struct Row {
        S status;
        bool queue;
        const char* text;
        bool canPause;
    };
    for (const Row row : {Row{S::Stopped, false, "Stopped", false}, Row{S::Stopped, true, "Stopped", true},
                          Row{S::Playing, false, "Playing", true}, Row{S::Paused, true, "Paused", true}}) {
        target_.status = row.status;
        target_.queue = row.queue;
        EXPECT_EQ(Player().property("PlaybackStatus").toString(), row.text);
        EXPECT_EQ(Player().property("CanPause").toBool(), row.canPause) << row.text;
        EXPECT_EQ(Player().property("CanGoNext").toBool(), row.queue) << row.text;
        EXPECT_EQ(Player().property("CanPlay").toBool(), row.queue) << row.text;
    }
    target_.seekable = false;
    EXPECT_FALSE(Player().property("CanSeek").toBool());
    EXPECT_EQ(Player().property("LoopStatus").toString(), "Playlist");
}

TEST_F(MprisProperties, MetadataCarriesTheEntryWithTheTypesClientsExpect) {
    QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.keys(), QStringList({"mpris:artUrl", "mpris:length", "mpris:trackid", "xesam:album",
                                            "xesam:artist", "xesam:title"}));
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(), kEntry);
    EXPECT_EQ(metadata.value("mpris:length").userType(), QMetaType::LongLong);
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), kLength);
    EXPECT_EQ(metadata.value("xesam:artist").userType(), QMetaType::QStringList);
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList({"周杰伦"}));
    EXPECT_EQ(metadata.value("xesam:title").toString(), "晴天");

    target_.track = TMprisTarget::TTrack{kEntry, 0, "晴天", {}, {}, {}};
    EXPECT_EQ(Metadata().keys(), QStringList({"mpris:trackid", "xesam:title"}));

    target_.track.reset();
    metadata = Metadata();
    EXPECT_EQ(metadata.keys(), QStringList({"mpris:trackid"}));
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");
}

TEST_F(MprisProperties, VolumeIsSetWithinRangeAndPositionIsReadOnDemand) {
    EXPECT_EQ(Player().property("Volume").toDouble(), 0.5);
    const std::pair<double, double> cases[] = {{0.25, 0.25}, {1.7, 1.0}, {-0.3, 0.0}};
    for (const auto& [given, kept] : cases) {
        EXPECT_TRUE(Player().setProperty("Volume", given));
        EXPECT_EQ(target_.volume, kept) << given;
    }
    target_.position = 42'000'000;
    EXPECT_EQ(Player().property("Position").toLongLong(), 42'000'000);
}

TEST_F(MprisSignals, PropertiesChangedCarriesOnlyWhatChanged) {
    QSignalSpy changed(&Properties(), SIGNAL(PropertiesChanged(QString, QVariantMap, QStringList)));
    ASSERT_TRUE(changed.isValid());
    SyncWithBus();

    target_.status = TMprisTarget::TStatus::Paused;
    target_.position = 1'000'000;
    InService([this] { service_->NotifyChanged(); });
    ASSERT_TRUE(Arrived(changed, 1));
    EXPECT_EQ(ChangedNames(changed, 0), QStringList({"PlaybackStatus"}));

    // Nothing new says nothing: the next signal holds the volume alone.
    InService([this] { service_->NotifyChanged(); });
    target_.volume = 0.8;
    InService([this] { service_->NotifyChanged(); });
    ASSERT_TRUE(Arrived(changed, 2));
    EXPECT_EQ(ChangedNames(changed, 1), QStringList({"Volume"}));

    target_.track.reset();
    target_.queue = false;
    target_.seekable = false;
    InService([this] { service_->NotifyChanged(); });
    ASSERT_TRUE(Arrived(changed, 3));
    EXPECT_EQ(ChangedNames(changed, 2),
              QStringList({"CanGoNext", "CanGoPrevious", "CanPlay", "CanSeek", "Metadata"}));

    // A command from outside announces its own effect.
    Call("PlayPause");
    ASSERT_TRUE(Arrived(changed, 4));
    EXPECT_EQ(ChangedNames(changed, 3), QStringList({"PlaybackStatus"}));
    EXPECT_EQ(changed.count(), 4);
}

TEST_F(MprisSignals, SeekedCarriesTheNewPosition) {
    QSignalSpy seeked(&Player(), SIGNAL(Seeked(qlonglong)));
    ASSERT_TRUE(seeked.isValid());
    SyncWithBus();
    InService([this] { service_->NotifySeeked(93'500'000); });
    ASSERT_TRUE(Arrived(seeked, 1));
    EXPECT_EQ(seeked.at(0).at(0).toLongLong(), 93'500'000);
}
