#include "browser/wait.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr qint64 kTurnEvery = 30; // ms

} // namespace

TFormWait::TFormWait(QWidget* owner)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("FormWait");
    setFixedSize(328, 98);
    // Without a title bar, a raised edge of its own sets it off from the window below.
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    group_ = new QGroupBox("Creating index file", this);
    name_ = new QLabel("filename", group_);
    name_->setFrameShape(QFrame::StyledPanel);
    name_->setTextFormat(Qt::PlainText);
    // A long path must not widen the window.
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    progress_ = new QProgressBar(group_);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    auto* inner = new QVBoxLayout(group_);
    inner->addWidget(name_);
    inner->addWidget(progress_);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 4, 6, 6);
    outer->addWidget(group_);
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    lastTurn_.start();
}

void TFormWait::SetMessage(const QString& text) { group_->setTitle(text); }

void TFormWait::SetTotal(int total) { progress_->setMaximum(total); }

void TFormWait::StepFile(const QString& name) {
    ++step_;
    if (lastTurn_.elapsed() < kTurnEvery && step_ < progress_->maximum()) return;
    lastTurn_.restart();
    name_->setText(name);
    progress_->setValue(step_);
    QCoreApplication::processEvents();
}

QString TFormWait::Message() const { return group_->title(); }

QString TFormWait::FileName() const { return name_->text(); }

int TFormWait::Total() const { return progress_->maximum(); }
