#pragma once

#include <QDialog>
#include <functional>

// The about window: the program's picture (a click opens its home page),
// its name, version and support lines.
class TFormAbout : public QDialog {
    Q_OBJECT
public:
    TFormAbout(QWidget* parent, std::function<void()> openHomePage);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> openHomePage_;
    QWidget* picture_ = nullptr;
};
