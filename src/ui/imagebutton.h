#pragma once

#include <QIcon>
#include <QWidget>

// A button drawn from pictures: `Icon` while `State` is true, `Icon2` while
// it is false, and their pressed pictures (`IconEnter`, `IconEnter2`) while
// the mouse button is held on it. The pictures are scalable, so the button
// stays sharp on a display of any scale. MouseDowned, MouseX and MouseY are
// plain values for whoever drags the button as a slider knob.
class TImageButton : public QWidget {
    Q_OBJECT
public:
    explicit TImageButton(QWidget* parent = nullptr);

    const QIcon& Icon() const { return icon_; }
    // Also shows it.
    void SetIcon(const QIcon& icon);
    void SetIconEnter(const QIcon& icon);
    void SetIcon2(const QIcon& icon);
    void SetIconEnter2(const QIcon& icon);
    bool State() const { return state_; }
    void SetState(bool state);
    // The picture shown now.
    const QIcon& Shown() const { return *shown_; }

    bool MouseDowned = false;
    int MouseX = 0;
    int MouseY = 0;

signals:
    void clicked();
    // Positions relative to the button.
    void MouseDown(QPoint position);
    void MouseMove(QPoint position);
    void MouseUp(QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Show(const QIcon& icon);
    const QIcon& Resting() const { return state_ ? icon_ : icon2_; }

    QIcon icon_;
    QIcon iconEnter_;
    QIcon icon2_;
    QIcon iconEnter2_;
    bool state_ = true;
    const QIcon* shown_ = &icon_;
};
