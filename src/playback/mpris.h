#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QDBusConnection;

// What the desktop's media controls see of the player, and what they may ask
// of it. The play control answers; the service only translates.
class TMprisTarget {
public:
    enum class TStatus { Stopped, Playing, Paused };
    struct TTrack {
        QString id;          // a D-Bus object path naming the queue entry
        qint64 lengthUs = 0; // 0 when not known
        QString title;
        QString artist;
        QString album;
        QString artUrl;      // "file://..." of the item's first picture; empty for none
    };

    virtual ~TMprisTarget() = default;

    virtual TStatus Status() const = 0;
    // The entry being played; none before anything has started.
    virtual std::optional<TTrack> Track() const = 0;
    virtual qint64 PositionUs() const = 0;
    // The master volume, 0 to 1.
    virtual double Volume() const = 0;
    virtual void SetVolume(double volume) = 0;
    // The queue has an entry to play, go to, or go back to.
    virtual bool HasQueue() const = 0;
    // An input is open and knows its length.
    virtual bool CanSeek() const = 0;

    // The same handlers as the player panel's buttons.
    virtual void PlayPause() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual void Next() = 0;
    virtual void Previous() = 0;
    virtual void SeekBy(qint64 offsetUs) = 0;
    virtual void SetPositionUs(qint64 positionUs) = 0;
    // Shows the main window; closes it as the user would.
    virtual void Raise() = 0;
    virtual void Quit() = 0;
};

inline constexpr const char* kMprisServiceName = "org.mpris.MediaPlayer2.tunecrate";

// The MPRIS2 service on the session bus: the root and the player interface
// of /org/mpris/MediaPlayer2 over a target. Keyboard media keys, the
// desktop's sound menu and lock-screen controls reach the player through it.
class TMprisService : public QObject {
    Q_OBJECT
public:
    explicit TMprisService(TMprisTarget& target, QObject* parent = nullptr);
    ~TMprisService() override;

    // Registers the object and takes the service name on the bus; false,
    // quietly, when there is no bus or the name is taken.
    bool Register(const QDBusConnection& bus);
    bool Registered() const;

    // The target changed: what differs from what was last told (status,
    // metadata, volume, the Can... properties) goes out in one
    // PropertiesChanged signal.
    void NotifyChanged();
    // The position jumped (a seek): the Seeked signal.
    void NotifySeeked(qint64 positionUs);

private:
    struct Private;
    Private* d_;
};
