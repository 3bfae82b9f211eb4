#pragma once

#include <QByteArray>
#include <QDialog>
#include <QFrame>
#include <QPixmap>
#include <QString>
#include <array>
#include <map>
#include <shared_mutex>
#include <string>
#include <vector>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TDialogs;
class TMP3Tag;

// A picture thumbnail of the tag editor: a panel of 105 x 105 whose picture
// control (103 x 103 at (1, 1)) shows the picture centred, fitted in
// proportion. A focused thumbnail has a raised border.
class TJHImage : public QFrame {
    Q_OBJECT
    Q_PROPERTY(bool Focused READ Focused WRITE SetFocused)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(bool MouseEvent READ MouseEvent WRITE SetMouseEvent)
    Q_PROPERTY(QString MimeType READ MimeType)
public:
    static constexpr int kSide = 105;
    static constexpr int kPictureSide = 103;

    // defaultPicture: shown until a file is set, and in place of a file that
    // cannot be shown; a null picture leaves the thumbnail blank.
    TJHImage(const QPixmap& defaultPicture, QWidget* parent);

    bool Focused() const { return focused_; }
    void SetFocused(bool focused);
    QString FileName() const { return fileName_; }
    // Reads the picture from the file.
    void SetFileName(const QString& fileName);
    // When on, pointing at the thumbnail focuses it, leaving unfocuses it.
    bool MouseEvent() const { return mouseEvent_; }
    void SetMouseEvent(bool on) { mouseEvent_ = on; }
    QLabel* Image() const { return image_; }
    // The extension of FileName, dot included; empty without a file.
    QString MimeType() const;
    bool HasFile() const { return !fileName_.isEmpty(); }

    // Writes the picture's bytes as they were read from FileName, creating
    // the missing folders; false when they cannot be written.
    bool SavePicture(const QString& path) const;

signals:
    void Clicked();
    void DoubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Show(const QPixmap& picture);

    QPixmap defaultPicture_;
    QString fileName_;
    QByteArray data_;
    QLabel* image_;
    bool focused_ = false;
    bool mouseEvent_ = false;
};

// The tag editor of an MPEG item: its text fields on four pages, the
// lyrics, the pictures, and its stream information. Values change only when
// it ends with OK (modal result 1); cancelling or closing gives 2.
class TFormProperties : public QDialog {
    Q_OBJECT
public:
    // defaultPicture: the full path of "tcrate.jpg"; libraryLock: taken
    // exclusively while OK stores the values, since other threads may be
    // reading the item.
    TFormProperties(TDialogs& dialogs, const QString& defaultPicture, QWidget* owner,
                    std::shared_mutex* libraryLock = nullptr);

    // Called once, before the window is shown.
    void FillFromItem(TMP3Tag& item);
    // "IMAGE" opens the pictures, "LYRICS" the lyrics, anything else the main page.
    void SelectPage(const std::string& page);

    // The address the image search opens for an artist, percent-encoded.
    static QString ImageSearchAddress(const QString& artist);

    void OkClick();
    void CancelClick() { done(2); }
    void LoadClick();
    void DeleteClick();
    void ImageSearchClick();
    void OpenLyricsClick();

    QTabWidget* Pages() const { return pages_; }
    // The text field of a label ("Title", "Composer", ...); none for others.
    QLineEdit* Field(const QString& label) const;
    QComboBox* GenreList() const { return genre_; }
    QPlainTextEdit* Lyrics() const { return lyrics_; }
    QWidget* Grid() const { return grid_; }
    const std::vector<TJHImage*>& Thumbnails() const { return thumbnails_; }
    TJHImage* Selected() const { return selected_; }

    // Closing the window cancels it.
    void reject() override { CancelClick(); }

private:
    QWidget* MakeFieldPage(std::string_view page);
    QWidget* MakeLyricsPage();
    QWidget* MakePicturesPage();
    QWidget* MakeMpegInfo();
    QPushButton* AddButton(QWidget* parent, QBoxLayout* layout, const char* name, const QString& caption,
                           void (TFormProperties::*click)());

    TJHImage* AddThumbnail();
    void LayOutGrid();
    void Select(TJHImage* thumbnail);
    void UpdateButtons();
    void FillLyrics(const std::string& value);
    std::string LyricsValue() const;
    // The picture files that could not be written.
    QStringList SavePictures();

    TDialogs& dialogs_;
    std::shared_mutex* libraryLock_;
    QPixmap defaultPicture_;
    TMP3Tag* item_ = nullptr;
    std::map<std::string, QLineEdit*, std::less<>> fields_; // by the key each shows
    QTabWidget* pages_ = nullptr;
    QComboBox* genre_ = nullptr;
    QPlainTextEdit* lyrics_ = nullptr;
    QWidget* grid_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* view_ = nullptr;
    QPushButton* delete_ = nullptr;
    std::array<QLabel*, 5> mpegInfo_{}; // version, layer, channel, frequency, bitrate
    std::vector<TJHImage*> thumbnails_;
    TJHImage* selected_ = nullptr;
    bool picturesChanged_ = false;
};
