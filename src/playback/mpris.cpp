#include "playback/mpris.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// org.mpris.MediaPlayer2: who we are and the window.
class TMprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(QString Identity READ Identity CONSTANT)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry CONSTANT)
    Q_PROPERTY(bool CanQuit READ CanQuit CONSTANT)
    Q_PROPERTY(bool CanRaise READ CanRaise CONSTANT)
    Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen CONSTANT)
    Q_PROPERTY(bool Fullscreen READ Fullscreen CONSTANT)
    Q_PROPERTY(bool HasTrackList READ HasTrackList CONSTANT)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes CONSTANT)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes CONSTANT)

public:
    TMprisRoot(TMprisTarget& target, QObject* service) : QDBusAbstractAdaptor(service), target_(target) {}

    QString Identity() const { return QStringLiteral("Tunecrate"); }
    QString DesktopEntry() const { return QStringLiteral("tunecrate"); }
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool CanSetFullscreen() const { return false; }
    bool Fullscreen() const { return false; }
    bool HasTrackList() const { return false; }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const { return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-ms-wma")}; }

public Q_SLOTS:
    void Raise() { target_.Raise(); }
    // Later: closing the window may end this service while the call is
    // still being answered.
    void Quit() {
        QMetaObject::invokeMethod(this, [this] { target_.Quit(); }, Qt::QueuedConnection);
    }

private:
    TMprisTarget& target_;
};

// org.mpris.MediaPlayer2.Player. The queue repeats endlessly, so the loop
// status is always "Playlist"; it, the shuffle and the rate cannot be
// changed from outside and are read-only.
class TMprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus CONSTANT)
    Q_PROPERTY(double Rate READ Rate CONSTANT)
    Q_PROPERTY(bool Shuffle READ Shuffle CONSTANT)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate CONSTANT)
    Q_PROPERTY(double MaximumRate READ Rate CONSTANT)
    Q_PROPERTY(bool CanGoNext READ HasQueue)
    Q_PROPERTY(bool CanGoPrevious READ HasQueue)
    Q_PROPERTY(bool CanPlay READ HasQueue)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl CONSTANT)

public:
    TMprisPlayer(TMprisTarget& target, TMprisService& service)
        : QDBusAbstractAdaptor(&service), target_(target), service_(service) {}

    QString PlaybackStatus() const {
        switch (target_.Status()) {
        case TMprisTarget::TStatus::Playing: return QStringLiteral("Playing");
        case TMprisTarget::TStatus::Paused: return QStringLiteral("Paused");
        case TMprisTarget::TStatus::Stopped: break;
        }
        return QStringLiteral("Stopped");
    }
    QString LoopStatus() const { return QStringLiteral("Playlist"); }
    double Rate() const { return 1.0; }
    bool Shuffle() const { return false; }

    // Values that are not known are left out, as clients expect.
    QVariantMap Metadata() const {
        const std::optional<TMprisTarget::TTrack> track = target_.Track();
        QVariantMap metadata;
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(track ? track->id : QString::fromLatin1(kNoTrack))));
        if (!track) return metadata;
        if (track->lengthUs > 0) metadata.insert(QStringLiteral("mpris:length"), qlonglong{track->lengthUs});
        if (!track->title.isEmpty()) metadata.insert(QStringLiteral("xesam:title"), track->title);
        if (!track->artist.isEmpty()) metadata.insert(QStringLiteral("xesam:artist"), QStringList{track->artist});
        if (!track->album.isEmpty()) metadata.insert(QStringLiteral("xesam:album"), track->album);
        if (!track->artUrl.isEmpty()) metadata.insert(QStringLiteral("mpris:artUrl"), track->artUrl);
        return metadata;
    }

    double Volume() const { return target_.Volume(); }
    void SetVolume(double volume) {
        if (std::isnan(volume)) return;
        target_.SetVolume(std::clamp(volume, 0.0, 1.0));
        service_.NotifyChanged();
    }
    qlonglong Position() const { return target_.PositionUs(); }

    // Next, Previous and Play alike need an entry in the queue.
    bool HasQueue() const { return target_.HasQueue(); }
    // Pausing needs something playing or paused, or something to start:
    // PlayPause is the one button media keys have.
    bool CanPause() const { return target_.Status() != TMprisTarget::TStatus::Stopped || target_.HasQueue(); }
    bool CanSeek() const { return target_.CanSeek(); }
    bool CanControl() const { return true; }

public Q_SLOTS:
    // A command that the player cannot carry out now does nothing; each one
    // announces what it changed at once.
    void Next() { Command(HasQueue(), &TMprisTarget::Next); }
    void Previous() { Command(HasQueue(), &TMprisTarget::Previous); }
    void Pause() { Command(CanPause(), &TMprisTarget::Pause); }
    void PlayPause() { Command(CanPause(), &TMprisTarget::PlayPause); }
    void Stop() { Command(true, &TMprisTarget::Stop); }
    void Play() { Command(HasQueue(), &TMprisTarget::Play); }
    void Seek(qlonglong offset) {
        if (!CanSeek()) return;
        target_.SeekBy(offset);
        service_.NotifyChanged();
    }
    // Only for the entry being played, and only within it: a request meant
    // for an entry that has since ended is stale.
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
        const std::optional<TMprisTarget::TTrack> track = target_.Track();
        if (!CanSeek() || !track || trackId.path() != track->id || position < 0 || position > track->lengthUs) return;
        target_.SetPositionUs(position);
        service_.NotifyChanged();
    }
    // Files come in through the library, not from outside players.
    void OpenUri(const QString&) {}

Q_SIGNALS:
    void Seeked(qlonglong position);

private:
    void Command(bool allowed, void (TMprisTarget::*command)()) {
        if (!allowed) return;
        (target_.*command)();
        service_.NotifyChanged();
    }

    TMprisTarget& target_;
    TMprisService& service_;
};

} // namespace

struct TMprisService::Private {
    TMprisPlayer* player = nullptr;
    std::optional<QDBusConnection> bus;
    QVariantMap sent;

    // What PropertiesChanged reports; the position is read on demand only.
    QVariantMap Watched() const {
        QVariantMap values;
        for (const char* name : {"PlaybackStatus", "Metadata", "Volume", "CanGoNext", "CanGoPrevious", "CanPlay",
                                 "CanPause", "CanSeek"})
            values.insert(QString::fromLatin1(name), player->property(name));
        return values;
    }
};

TMprisService::TMprisService(TMprisTarget& target, QObject* parent) : QObject(parent), d_(new Private) {
    new TMprisRoot(target, this);
    d_->player = new TMprisPlayer(target, *this);
}

TMprisService::~TMprisService() {
    if (d_->bus && d_->bus->isConnected()) {
        d_->bus->unregisterService(QString::fromLatin1(kMprisServiceName));
        d_->bus->unregisterObject(QString::fromLatin1(kObjectPath));
    }
    delete d_;
}

bool TMprisService::Register(const QDBusConnection& bus) {
    // One bus at a time.
    if (d_->bus || !bus.isConnected()) return false;
    QDBusConnection connection(bus);
    if (!connection.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    if (!connection.registerService(QString::fromLatin1(kMprisServiceName))) {
        connection.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    d_->bus = connection;
    d_->sent = d_->Watched();
    return true;
}

bool TMprisService::Registered() const { return d_->bus.has_value(); }

void TMprisService::NotifyChanged() {
    if (!d_->bus) return;
    const QVariantMap now = d_->Watched();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (d_->sent.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    if (changed.isEmpty()) return;
    d_->sent = now;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    d_->bus->send(signal);
}

void TMprisService::NotifySeeked(qint64 positionUs) {
    if (d_->bus) emit d_->player->Seeked(positionUs);
}

#include "mpris.moc"
