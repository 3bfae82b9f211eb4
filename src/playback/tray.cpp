#include "playback/tray.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "browser/mainwindow.h"
#include "core/sysinfo.h"
#include "ui/images.h"

namespace {

constexpr std::string_view kTrayKey = "application.tray";

} // namespace

TSystemTrayIcon::TSystemTrayIcon(QObject* parent) : TTrayIcon(parent), icon_(new QSystemTrayIcon(this)) {
    icon_->setIcon(ProgramIcon());
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) emit LeftButtonDown();
    });
}

bool TSystemTrayIcon::Add() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    icon_->show();
    return true;
}

void TSystemTrayIcon::Remove() { icon_->hide(); }

void TSystemTrayIcon::SetTip(const QString& tip) { icon_->setToolTip(tip); }

void TSystemTrayIcon::SetMenu(QMenu* menu) { icon_->setContextMenu(menu); }

TTrayController::TTrayController(TtcrateFormMain& window, TTrayIcon& icon, QMenu& popupMenuPlay)
    : QObject(&window), window_(window), icon_(icon), menu_(popupMenuPlay) {
    icon_.SetMenu(&menu_);
    connect(&icon_, &TTrayIcon::LeftButtonDown, this, &TTrayController::WMTrayNotify);
}

void TTrayController::ApplicationEvents1Minimize() {
    if (!window_.Settings().ReadBool(kTrayKey, true)) return;
    windowShown_ = false;
    if (icon_.Add()) {
        iconShown_ = true;
        // Out of the task bar once the minimise has been carried out.
        QTimer::singleShot(0, &window_, [this] {
            if (!windowShown_) window_.hide();
        });
    }
    ShowWindowCommands(true);
}

void TTrayController::ApplicationEvents1Restore() {
    if (!window_.Settings().ReadBool(kTrayKey, true)) return;
    windowShown_ = true;
    icon_.Remove();
    iconShown_ = false;
}

void TTrayController::WMTrayNotify() {
    if (windowShown_) {
        window_.showMinimized();
        window_.hide();
    } else {
        N32Click();
    }
}

void TTrayController::N32Click() {
    window_.showNormal();
    window_.raise();
    window_.activateWindow();
}

QString TTrayController::TipOf(const QString& titleLine) {
    if (titleLine.size() <= kTipLength) return titleLine;
    qsizetype kept = kTipLength - 3;
    if (titleLine[kept - 1].isHighSurrogate()) --kept;
    return titleLine.left(kept) + "...";
}

void TTrayController::SetTip(const QString& titleLine) { icon_.SetTip(TipOf(titleLine)); }

void TTrayController::HideWindowCommands() { ShowWindowCommands(false); }

void TTrayController::ShowWindowCommands(bool show) {
    for (const char* name : {"OpenTunecrate1", "N1", "Exit1", "N12"}) window_.Action(name)->setVisible(show);
}
