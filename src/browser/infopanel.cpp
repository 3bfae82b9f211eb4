#include "browser/infopanel.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QResizeEvent>
#include <QTreeWidget>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/helpers.h"
#include "media/mobj.h"
#include "ui/images.h"
#include "ui/listdrawing.h"
#include "ui/opendocument.h"

namespace {

// The row's picture, which the row drawing also reads.
constexpr int kImageRole = TRowDelegate::ImageRole;
constexpr int kNoImage = -1;
constexpr int kCaptionColumn = 0;
constexpr int kValueColumn = 1;
constexpr int kIdColumn = 2;
constexpr int kMargin = 1;
constexpr int kImageSide = 105;
// Room the value column leaves for the frame and a scroll bar.
constexpr int kValueColumnSlack = 20;

int ImageOfKind(const std::string& kind) {
    static const std::pair<const char*, int> kKinds[] = {
        {"STRING", Images::kTextRow}, {"TEXT", Images::kLyrics},   {"URL", Images::kWebAddress},
        {"FILE", Images::kFileRow},   {"IMAGE", Images::kPicture},
    };
    for (const auto& [name, image] : kKinds)
        if (kind == name) return image;
    return kNoImage;
}

int ImageOfRow(const QTreeWidgetItem& row) { return row.data(kCaptionColumn, kImageRole).toInt(); }

void AddRow(QTreeWidget& list, const QString& caption, const QString& value, const QString& id, int image) {
    auto* row = new QTreeWidgetItem(&list, {caption, value, id});
    row->setData(kCaptionColumn, kImageRole, image);
    if (image != kNoImage) row->setIcon(kCaptionColumn, ImageList20(image));
}

void AddStreamRow(QTreeWidget& list, const QString& caption, const std::string& value) {
    AddRow(list, caption, QString::fromStdString(value), {}, Images::kStreamInfo);
}

} // namespace

TInfoPanel::TInfoPanel(QString defaultPicture, QWidget* parent)
    : QWidget(parent), defaultPicture_(std::move(defaultPicture)) {
    image_ = new QLabel(this);
    image_->setObjectName("Image");
    image_->setAlignment(Qt::AlignCenter);
    image_->setGeometry(kMargin, kMargin, kImageSide, kImageSide);
    image_->installEventFilter(this);

    list_ = new QTreeWidget(this);
    list_->setObjectName("ListViewInfo");
    list_->setColumnCount(3);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setIconSize(QSize(20, 20));
    // The value column is sized by hand; a stretched last section would undo it.
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(kCaptionColumn, 160);
    list_->setColumnWidth(kValueColumn, 300);
    list_->setColumnHidden(kIdColumn, true);
    list_->installEventFilter(this);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &TInfoPanel::RowActivated);
}

void TInfoPanel::UpdateInfoPanel(TMObj* item) {
    current_ = item;
    const std::string pictureName = item != nullptr ? item->GetPictureFileName() : std::string();
    if (pictureName.empty() || !picture_.load(QString::fromStdString(pictureName))) picture_.load(defaultPicture_);
    ShowPicture();

    list_->setUpdatesEnabled(false);
    list_->clear();
    if (item != nullptr) {
        std::vector<std::string> frames;
        item->FillFrameList(&frames);
        for (const std::string& line : frames) {
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            const std::string id = line.substr(0, eq);
            const std::string value = item->GetValue(id);
            if (value.empty()) continue;
            AddRow(*list_, QString::fromStdString(line.substr(eq + 1)), QString::fromStdString(value),
                   QString::fromStdString(id), ImageOfKind(item->GetFrameKind(id)));
        }
        AddStreamRow(*list_, "时长", DurationText(item->GetDuration()));
        AddStreamRow(*list_, "码率", BitrateText(item->GetBitrate()));
        AddStreamRow(*list_, "采样率", FrequencyText(item->GetFrequency()));
        AddStreamRow(*list_, "声道", item->GetChannel());
        AddStreamRow(*list_, "大小", SizeText(static_cast<int32_t>(item->GetFileSize())));
        if (!pictureName.empty()) AddRow(*list_, "图片", "双击鼠标查看图片", {}, Images::kPicture);
        AddRow(*list_, "文件", QString::fromStdString(item->GetFileName()), {}, Images::kFileRow);
    }
    list_->setUpdatesEnabled(true);
}

QString TInfoPanel::AddressOfRow(const QTreeWidgetItem& row) {
    switch (ImageOfRow(row)) {
    case Images::kWebAddress: return QString::fromStdString(UrlEncode(row.text(kValueColumn).toStdString()));
    case Images::kFileRow: return row.text(kValueColumn);
    default: return {};
    }
}

void TInfoPanel::RowActivated(QTreeWidgetItem* row) {
    switch (ImageOfRow(*row)) {
    case Images::kPicture: emit PictureActivated(); break;
    case Images::kWebAddress:
    case Images::kFileRow: OpenDocument(AddressOfRow(*row)); break;
    case Images::kLyrics:
        // The item may have been forgotten while its rows still show.
        if (current_ != nullptr) {
            QString text = QString::fromStdString(current_->GetValue(row->text(kIdColumn).toStdString()));
            emit LyricsActivated(row->text(kCaptionColumn), text.replace("\\n", "\n"));
        }
        break;
    default: break;
    }
}

void TInfoPanel::ShowPicture() {
    if (picture_.isNull())
        image_->clear();
    else
        image_->setPixmap(picture_.scaled(image_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TInfoPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int side = std::max(0, height() - 2 * kMargin);
    image_->setGeometry(kMargin, kMargin, side, side);
    ShowPicture();
    const int listLeft = side + 2 * kMargin;
    list_->setGeometry(listLeft, kMargin, std::max(0, width() - listLeft - kMargin), side);
}

bool TInfoPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == image_ && event->type() == QEvent::MouseButtonDblClick) {
        emit PictureActivated();
        return true;
    }
    if (watched == list_ && event->type() == QEvent::Resize) {
        const int rest = static_cast<QResizeEvent*>(event)->size().width() - list_->columnWidth(kCaptionColumn);
        list_->setColumnWidth(kValueColumn, std::max(0, rest - kValueColumnSlack));
    }
    return QWidget::eventFilter(watched, event);
}
