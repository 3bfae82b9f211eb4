#pragma once

#include <QPixmap>
#include <QWidget>
#include <string>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class TMObj;

// The information panel below the track list: the picture of the item shown
// (the default picture when it has none) and its tag values, stream
// information and file, one row each with a picture telling its kind.
class TInfoPanel : public QWidget {
    Q_OBJECT
public:
    // defaultPicture: the full path of "tcrate.jpg".
    TInfoPanel(QString defaultPicture, QWidget* parent = nullptr);

    // Shows an item (it becomes the current item); none clears the rows.
    void UpdateInfoPanel(TMObj* item);
    TMObj* CurrentItem() const { return current_; }
    // Forgets the item (it is about to go away).
    void ForgetCurrentItem() { current_ = nullptr; }

    QLabel* Image() const { return image_; }
    QTreeWidget* ListViewInfo() const { return list_; }

    // What a double click on a row opens: a web address percent-encoded, a
    // file as it is; empty for the other rows.
    static QString AddressOfRow(const QTreeWidgetItem& row);

signals:
    // A double click on the picture or the picture row.
    void PictureActivated();
    // A double click on a lyrics or long text row: caption and text.
    void LyricsActivated(const QString& caption, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RowActivated(QTreeWidgetItem* row);
    // Puts the picture into the image, fitted to its size.
    void ShowPicture();

    QString defaultPicture_;
    QPixmap picture_;
    QLabel* image_ = nullptr;
    QTreeWidget* list_ = nullptr;
    TMObj* current_ = nullptr;
};
