#pragma once

#include <QElapsedTimer>
#include <QFrame>

class QGroupBox;
class QLabel;
class QProgressBar;

// The wait window of a long command: a message, the name at hand and the
// progress. Each step lets the event loop run (at most every 30 ms, so the
// progress costs nothing measurable), so the window repaints and the main
// window stays usable.
class TFormWait : public QFrame {
    Q_OBJECT
public:
    explicit TFormWait(QWidget* owner = nullptr);

    void SetMessage(const QString& text);
    void SetTotal(int total);
    void StepFile(const QString& name);

    QString Message() const;
    QString FileName() const;
    int Step() const { return step_; }
    int Total() const;

private:
    QGroupBox* group_;
    QLabel* name_;
    QProgressBar* progress_;
    int step_ = 0;
    QElapsedTimer lastTurn_;
};
