#pragma once

#include <QDialog>
#include <vector>

class QLabel;
class QScrollArea;
class TMP3Tag;

// The picture viewer: every picture of an item, three to a row, each in its
// place by number, so that a missing picture leaves a gap.
class TFormImageView : public QDialog {
    Q_OBJECT
public:
    explicit TFormImageView(QWidget* owner);

    // Called once, before the window is shown.
    void FillFromItem(const TMP3Tag& item);

    QScrollArea* ScrollBox() const { return scroll_; }
    QWidget* Panel() const { return panel_; }
    // The picture controls made, in the order of their numbers.
    const std::vector<QLabel*>& Pictures() const { return pictures_; }

private:
    QScrollArea* scroll_ = nullptr;
    QWidget* panel_ = nullptr;
    std::vector<QLabel*> pictures_;
};
