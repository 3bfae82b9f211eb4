#include "media/properties.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <algorithm>
#include <utility>

#include "core/helpers.h"
#include "media/mp3const.h"
#include "media/mp3tag.h"
#include "media/picturefile.h"
#include "ui/dialogs.h"
#include "ui/opendocument.h"

namespace {

constexpr int kGap = 10;
constexpr int kCell = TJHImage::kSide + kGap;
constexpr int kGridWidth = 2 * TJHImage::kSide + 2 * kGap;

struct TField {
    std::string_view page, label, key; // no key: the genre list
};

// Each page's fields in the order they show.
constexpr TField kFields[] = {
    {"Main", "Title", "TIT2"},        {"Main", "Index", "TRCK"},          {"Main", "Artist", "TPE1"},
    {"Main", "Original Artist", "TOPE"}, {"Main", "Album", "TALB"},       {"Main", "Year", "TYER"},
    {"Main", "Genre", ""},            {"Main", "BPM", "TBPM"},            {"Main", "Label", "TPUB"},
    {"Credits", "Composer", "TCOM"},  {"Credits", "Lyricist", "TEXT"},    {"Credits", "Orchestra", "TPE2"},
    {"Credits", "Conductor", "TPE3"}, {"Credits", "Copyright", "TCOP"},   {"Credits", "Encoded by", "TENC"},
    {"URLs", "Audio URL", "WOAF"},    {"URLs", "Artist URL", "WOAR"},     {"URLs", "General URL", "WXXX"},
    {"MusicMatch", "Tempo", "SYTC"},  {"MusicMatch", "Situation", "EQU2"}, {"MusicMatch", "Mood", "TMOO"},
};
constexpr std::string_view kFieldPages[] = {"Main", "Credits", "URLs", "MusicMatch"};
constexpr int kLyricsPage = 4;
constexpr int kPicturesPage = 5;

// The values OK stores with SetValue, in the order it stores them (new keys
// join the item's values, and so its tag, in this order).
constexpr std::string_view kStoredKeys[] = {"TCOP", "TCOM", "TEXT", "TPE2", "TPE3", "TENC", "SYTC", "EQU2",
                                            "TMOO", "WOAF", "WOAR", "WXXX", "TPUB", "TOPE", "TBPM", "TRCK"};

constexpr const char* kImageSearchSite = "https://www.google.com";
constexpr const char* kPictureFilter = "JPEG File(*.jpg)|*.jpg|PNG File(*.png)|*.png";

using THeaderNames = std::array<std::pair<std::string_view, const char*>, 3>;
constexpr THeaderNames kVersions = {{{"3", "MPEG 1.0"}, {"2", "MPEG 2.0"}, {"0", "MPEG 2.5"}}};
constexpr THeaderNames kLayers = {{{"3", "Layer 1"}, {"2", "Layer 2"}, {"1", "Layer 3"}}};

QString HeaderName(const std::string& value, const THeaderNames& names) {
    for (const auto& [code, name] : names)
        if (value == code) return name;
    return "Reserved";
}

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

TJHImage::TJHImage(const QPixmap& defaultPicture, QWidget* parent)
    : QFrame(parent), defaultPicture_(defaultPicture), image_(new QLabel(this)) {
    setFixedSize(kSide, kSide);
    setLineWidth(1);
    image_->setObjectName("Image");
    image_->setGeometry(1, 1, kPictureSide, kPictureSide);
    image_->setAlignment(Qt::AlignCenter);
    // A click on the picture is a click on the thumbnail.
    image_->setAttribute(Qt::WA_TransparentForMouseEvents);
    SetFocused(false);
    Show(defaultPicture_);
}

void TJHImage::SetFocused(bool focused) {
    focused_ = focused;
    setFrameStyle(focused ? QFrame::Panel | QFrame::Raised : QFrame::NoFrame);
}

void TJHImage::SetFileName(const QString& fileName) {
    fileName_ = fileName;
    // The bytes are kept, so that saving writes the picture exactly as it came.
    QFile file(fileName);
    data_ = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QPixmap picture;
    Show(picture.loadFromData(data_) ? picture : defaultPicture_);
}

QString TJHImage::MimeType() const {
    const qsizetype dot = fileName_.lastIndexOf('.');
    return dot > fileName_.lastIndexOf('/') ? fileName_.mid(dot) : QString();
}

bool TJHImage::SavePicture(const QString& path) const {
    if (path == fileName_) return true;
    QSaveFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(data_) == data_.size() && file.commit();
}

void TJHImage::Show(const QPixmap& picture) {
    if (picture.isNull())
        image_->clear();
    else
        image_->setPixmap(picture.scaled(image_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TJHImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
    if (mouseEvent_) SetFocused(true);
    emit Clicked();
}

void TJHImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QFrame::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

void TJHImage::enterEvent(QEnterEvent* event) {
    if (mouseEvent_) SetFocused(true);
    QFrame::enterEvent(event);
}

void TJHImage::leaveEvent(QEvent* event) {
    if (mouseEvent_) SetFocused(false);
    QFrame::leaveEvent(event);
}

TFormProperties::TFormProperties(TDialogs& dialogs, const QString& defaultPicture, QWidget* owner,
                                 std::shared_mutex* libraryLock)
    : QDialog(owner), dialogs_(dialogs), libraryLock_(libraryLock), defaultPicture_(defaultPicture) {
    setObjectName("FormProperties");
    setWindowTitle("媒体文件信息");

    auto* tagInfo = new QGroupBox("Tag info", this);
    pages_ = new QTabWidget(tagInfo);
    pages_->setObjectName("PageControl");
    pages_->setUsesScrollButtons(false); // the window is as wide as its six tabs
    for (std::string_view page : kFieldPages) pages_->addTab(MakeFieldPage(page), Q(page));
    pages_->addTab(MakeLyricsPage(), "Lyrics");
    pages_->addTab(MakePicturesPage(), "Pictures");
    (new QVBoxLayout(tagInfo))->addWidget(pages_);

    auto* side = new QVBoxLayout;
    AddButton(this, side, "ButtonOK", "确定", &TFormProperties::OkClick)->setDefault(true);
    AddButton(this, side, "ButtonCancel", "取消", &TFormProperties::CancelClick);
    side->addWidget(MakeMpegInfo(), 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tagInfo, 1);
    layout->addLayout(side);

    setFixedSize(sizeHint());
    move(screen()->availableGeometry().center() - rect().center());
}

QPushButton* TFormProperties::AddButton(QWidget* parent, QBoxLayout* layout, const char* name, const QString& caption,
                                        void (TFormProperties::*click)()) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    if (click != nullptr) connect(button, &QPushButton::clicked, this, click);
    layout->addWidget(button);
    return button;
}

QWidget* TFormProperties::MakeFieldPage(std::string_view page) {
    auto* widget = new QWidget;
    auto* form = new QFormLayout(widget);
    for (const TField& field : kFields) {
        if (field.page != page) continue;
        if (field.key.empty()) {
            genre_ = new QComboBox(widget);
            genre_->setObjectName("ComboBoxGenre");
            for (std::string_view name : kGenreTable) genre_->addItem(Q(name));
            genre_->addItem("Other");
            form->addRow(Q(field.label), genre_);
        } else {
            auto* edit = new QLineEdit(widget);
            edit->setObjectName("Edit" + Q(field.key));
            fields_.emplace(field.key, edit);
            form->addRow(Q(field.label), edit);
        }
    }
    return widget;
}

QWidget* TFormProperties::MakeLyricsPage() {
    auto* widget = new QWidget;
    lyrics_ = new QPlainTextEdit(widget);
    lyrics_->setObjectName("MemoLyrics");
    lyrics_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lyrics_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lyrics_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    AddButton(widget, buttons, "ButtonOpenLyrics", "Open", &TFormProperties::OpenLyricsClick);
    auto* layout = new QVBoxLayout(widget);
    layout->addWidget(lyrics_, 1);
    layout->addLayout(buttons);
    return widget;
}

QWidget* TFormProperties::MakePicturesPage() {
    auto* widget = new QWidget;
    auto* scroll = new QScrollArea(widget);
    scroll->setObjectName("ScrollBoxPictures");
    grid_ = new QWidget;
    grid_->setObjectName("PanelPictures");
    scroll->setWidget(grid_);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const int frame = 2 * scroll->frameWidth();
    scroll->setFixedWidth(kGridWidth + scroll->verticalScrollBar()->sizeHint().width() + frame);
    scroll->setMinimumHeight(2 * kCell + frame);

    auto* buttons = new QVBoxLayout;
    load_ = AddButton(widget, buttons, "ButtonLoad", "Load", &TFormProperties::LoadClick);
    // "View" goes with "Delete" but does nothing of its own.
    view_ = AddButton(widget, buttons, "ButtonView", "View", nullptr);
    delete_ = AddButton(widget, buttons, "ButtonDelete", "Delete", &TFormProperties::DeleteClick);
    AddButton(widget, buttons, "ButtonImageSearch", "Google Images", &TFormProperties::ImageSearchClick);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(widget);
    layout->addWidget(scroll);
    layout->addLayout(buttons);
    return widget;
}

QWidget* TFormProperties::MakeMpegInfo() {
    static constexpr const char* kNames[] = {"LabelVersion", "LabelLayer", "LabelChannel", "LabelFrequency",
                                             "LabelBitrate"};
    auto* box = new QGroupBox("Mpeg Info", this);
    auto* layout = new QVBoxLayout(box);
    for (std::size_t i = 0; i < mpegInfo_.size(); ++i) {
        mpegInfo_[i] = new QLabel(box);
        mpegInfo_[i]->setObjectName(kNames[i]);
        mpegInfo_[i]->setMinimumWidth(mpegInfo_[i]->fontMetrics().horizontalAdvance("Single channel"));
        layout->addWidget(mpegInfo_[i]);
    }
    layout->addStretch(1);
    return box;
}

QLineEdit* TFormProperties::Field(const QString& label) const {
    for (const TField& field : kFields)
        if (!field.key.empty() && Q(field.label) == label) return fields_.find(field.key)->second;
    return nullptr;
}

void TFormProperties::FillFromItem(TMP3Tag& item) {
    item_ = &item;
    for (const auto& [key, edit] : fields_) edit->setText(Q(key == "TIT2" ? item.GetTitle() : item.GetValue(key)));

    // Read without storing the default: other threads may be reading the item.
    const QString genre = Q(item.GenreOrDefault());
    int index = genre_->findText(genre, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        // A genre the list does not name is offered as it is, so that OK keeps it.
        genre_->addItem(genre);
        index = genre_->count() - 1;
    }
    genre_->setCurrentIndex(index);

    FillLyrics(item.GetValue("USLT"));

    const QString mpegInfo[] = {HeaderName(item.GetValue("mpeg_level"), kVersions),
                                HeaderName(item.GetValue("mpeg_layer"), kLayers), Q(item.GetChannel()),
                                QString::number(item.GetFrequency()) + " HZ",
                                QString::number(item.GetBitrate()) + " kbps"};
    for (std::size_t i = 0; i < mpegInfo_.size(); ++i) mpegInfo_[i]->setText(mpegInfo[i]);

    for (const std::string& path : item.PictureList()) {
        const QString file = Q(path);
        if (QFileInfo(file).isFile()) AddThumbnail()->SetFileName(file);
    }
    AddThumbnail(); // the empty slot, for a new picture
    LayOutGrid();
    Select(nullptr);
}

void TFormProperties::SelectPage(const std::string& page) {
    if (page == "IMAGE")
        pages_->setCurrentIndex(kPicturesPage);
    else if (page == "LYRICS")
        pages_->setCurrentIndex(kLyricsPage);
    else
        pages_->setCurrentIndex(0);
}

void TFormProperties::FillLyrics(const std::string& value) {
    const std::string_view text(value);
    QStringList lines;
    std::size_t pos = 0;
    for (std::size_t cut; (cut = text.find("\\n", pos)) != std::string_view::npos; pos = cut + 2)
        lines << Q(TrimControl(text.substr(pos, cut - pos)));
    const std::string_view rest = TrimControl(text.substr(pos));
    if (!rest.empty()) lines << Q(rest);
    // Lyrics kept with "\," between their lines come with line breaks of their own.
    lyrics_->setPlainText(lines.join('\n').replace("\r\n", "\n"));
}

std::string TFormProperties::LyricsValue() const {
    std::string value;
    for (const QString& line : lyrics_->toPlainText().split('\n')) {
        if (!value.empty()) value += "\\n";
        value += line.toStdString();
    }
    return value;
}

QString TFormProperties::ImageSearchAddress(const QString& artist) {
    return Q(UrlEncode(std::string(kImageSearchSite) + "/images?q=" + artist.toStdString() + "&ie=UTF-8"));
}

void TFormProperties::ImageSearchClick() { OpenDocument(ImageSearchAddress(fields_.find("TPE1")->second->text())); }

void TFormProperties::OpenLyricsClick() {
    const QStringList files = dialogs_.OpenFiles(this, "Open Lyrics File", "Lyrics file(*.txt)|*.txt");
    if (files.isEmpty()) return;
    lyrics_->clear();
    QFile file(files.first());
    QStringList lines;
    if (file.open(QIODevice::ReadOnly)) {
        const TLegacyCodec& codec = item_->Environment().Codec;
        for (QByteArray line; !(line = file.readLine()).isEmpty();) {
            while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
            if (lines.isEmpty() && line.startsWith("\xEF\xBB\xBF")) line.remove(0, 3);
            lines << Q(codec.ToUtf8(std::string_view(line.constData(), static_cast<std::size_t>(line.size()))));
        }
    }
    lyrics_->setPlainText(lines.join('\n'));
    if (file.error() != QFileDevice::NoError) dialogs_.Error(this, file.fileName() + "\n" + file.errorString());
}

TJHImage* TFormProperties::AddThumbnail() {
    auto* thumbnail = new TJHImage(defaultPicture_, grid_);
    connect(thumbnail, &TJHImage::Clicked, this, [this, thumbnail] { Select(thumbnail); });
    connect(thumbnail, &TJHImage::DoubleClicked, this, [this, thumbnail] {
        Select(thumbnail);
        LoadClick();
    });
    thumbnails_.push_back(thumbnail);
    thumbnail->show();
    return thumbnail;
}

void TFormProperties::LayOutGrid() {
    const int count = static_cast<int>(thumbnails_.size());
    for (int i = 0; i < count; ++i) thumbnails_[i]->move((i % 2) * kCell + kGap, (i / 2) * kCell + kGap);
    grid_->setFixedSize(kGridWidth, (count + 1) / 2 * kCell);
}

void TFormProperties::Select(TJHImage* thumbnail) {
    if (selected_ != nullptr) selected_->SetFocused(false);
    selected_ = thumbnail;
    if (selected_ != nullptr) selected_->SetFocused(true);
    UpdateButtons();
}

void TFormProperties::UpdateButtons() {
    load_->setEnabled(selected_ != nullptr);
    const bool hasFile = selected_ != nullptr && selected_->HasFile();
    view_->setEnabled(hasFile);
    delete_->setEnabled(hasFile);
}

void TFormProperties::LoadClick() {
    if (selected_ == nullptr) return;
    const QStringList files = dialogs_.OpenFiles(this, "Open Picture File", kPictureFilter);
    if (files.isEmpty()) return;
    // Filling the empty slot makes another one.
    if (!selected_->HasFile()) {
        AddThumbnail();
        LayOutGrid();
    }
    selected_->SetFileName(files.first());
    picturesChanged_ = true;
    UpdateButtons();
}

void TFormProperties::DeleteClick() {
    if (selected_ == nullptr || !selected_->HasFile()) return;
    thumbnails_.erase(std::find(thumbnails_.begin(), thumbnails_.end(), selected_));
    delete selected_;
    selected_ = nullptr;
    LayOutGrid();
    picturesChanged_ = true;
    UpdateButtons();
}

void TFormProperties::OkClick() {
    TMP3Tag& item = *item_;
    const auto text = [this](std::string_view key) { return fields_.find(key)->second->text().toStdString(); };
    QStringList unsaved;
    {
        std::unique_lock<std::shared_mutex> storing;
        if (libraryLock_ != nullptr) storing = std::unique_lock(*libraryLock_);
        item.SetTitle(text("TIT2"));
        item.SetArtist(text("TPE1"));
        item.SetAlbum(text("TALB"));
        item.SetYear(text("TYER"));
        item.SetGenre(genre_->currentText().toStdString());
        for (std::string_view key : kStoredKeys) item.SetValue(std::string(key), text(key));
        item.SetValue("USLT", LyricsValue());
        if (picturesChanged_) unsaved = SavePictures();
        item.SetModified(true);
    }
    for (const QString& path : unsaved) dialogs_.Error(this, "无法保存图片文件 " + path);
    done(1);
}

QStringList TFormProperties::SavePictures() {
    QStringList unsaved;
    TMP3Tag& item = *item_;
    const int count = static_cast<int>(thumbnails_.size()) - 1; // the empty slot is always last
    item.SetValue("APIC.num", std::to_string(count));
    for (int i = 0; i < count; ++i) {
        const TJHImage& thumbnail = *thumbnails_[static_cast<std::size_t>(i)];
        const std::string mimeType = thumbnail.MimeType().toStdString();
        const std::string name = PictureFileName(item.GetFileName(), i, mimeType);
        const QString path = Q(item.Environment().DataFolder + name);
        if (!thumbnail.SavePicture(path)) unsaved << path;
        const std::string key = "APIC." + std::to_string(i);
        item.SetValue(key + ".filename", name);
        item.SetValue(key + ".mimetype", mimeType);
    }
    return unsaved;
}
