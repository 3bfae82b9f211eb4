#pragma once

#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;
class TtcrateFormMain;

// The program's icon in the desktop's notification area.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Shows the icon; false when the desktop has no notification area.
    virtual bool Add() = 0;
    virtual void Remove() = 0;
    // The tip shows while the icon is there and the next time it is added.
    virtual void SetTip(const QString& tip) = 0;
    // The menu the icon's right button opens.
    virtual void SetMenu(QMenu* menu) = 0;

signals:
    void LeftButtonDown();
};

// The icon on the desktop's notification area (the StatusNotifierItem or
// XEmbed tray, as Qt finds it).
class TSystemTrayIcon : public TTrayIcon {
    Q_OBJECT
public:
    explicit TSystemTrayIcon(QObject* parent = nullptr);
    bool Add() override;
    void Remove() override;
    void SetTip(const QString& tip) override;
    void SetMenu(QMenu* menu) override;

private:
    QSystemTrayIcon* icon_;
};

// Minimising puts the program into the notification area when
// "application.tray" is on: the window leaves the task bar, and the icon
// brings it back (left button) or opens the tray menu (right button). The
// icon's tip is the title line of what plays.
class TTrayController : public QObject {
    Q_OBJECT
public:
    // Tips hold at most this many characters.
    static constexpr int kTipLength = 63;

    TTrayController(TtcrateFormMain& window, TTrayIcon& icon, QMenu& popupMenuPlay);

    void ApplicationEvents1Minimize();
    void ApplicationEvents1Restore();
    // A left button press on the icon.
    void WMTrayNotify();
    // "主界面": the window back, in front.
    void N32Click();
    void SetTip(const QString& titleLine);
    // The tip a title line gives: longer ones are cut and end in "...".
    static QString TipOf(const QString& titleLine);
    bool WindowShown() const { return windowShown_; }
    bool IconShown() const { return iconShown_; }
    // The tree shows the menu for the now-playing box without the window's
    // own commands; the next minimise shows them again.
    void HideWindowCommands();

private:
    void ShowWindowCommands(bool show);

    TtcrateFormMain& window_;
    TTrayIcon& icon_;
    QMenu& menu_;
    bool windowShown_ = false;
    bool iconShown_ = false;
};
