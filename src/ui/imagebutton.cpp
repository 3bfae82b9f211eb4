#include "ui/imagebutton.h"

#include <QMouseEvent>
#include <QPainter>

TImageButton::TImageButton(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void TImageButton::SetIcon(const QIcon& icon) {
    icon_ = icon;
    Show(icon_);
}

void TImageButton::SetIconEnter(const QIcon& icon) {
    iconEnter_ = icon;
    update();
}

void TImageButton::SetIcon2(const QIcon& icon) {
    icon2_ = icon;
    update();
}

void TImageButton::SetIconEnter2(const QIcon& icon) {
    iconEnter2_ = icon;
    update();
}

void TImageButton::SetState(bool state) {
    state_ = state;
    Show(Resting());
}

void TImageButton::Show(const QIcon& icon) {
    shown_ = &icon;
    update();
}

void TImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    shown_->paint(&painter, rect());
}

void TImageButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    emit MouseDown(event->position().toPoint());
    Show(state_ ? iconEnter_ : iconEnter2_);
}

void TImageButton::mouseMoveEvent(QMouseEvent* event) { emit MouseMove(event->position().toPoint()); }

void TImageButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint position = event->position().toPoint();
    Show(Resting());
    emit MouseUp(position);
    if (rect().contains(position)) emit clicked();
}

void TImageButton::leaveEvent(QEvent*) { Show(Resting()); }
