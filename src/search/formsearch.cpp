#include "search/formsearch.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "browser/boxtree.h"
#include "browser/editcommands.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "core/library.h"
#include "media/mp3const.h"
#include "media/mobj.h"
#include "playback/playcontrol.h"
#include "search/searchthread.h"
#include "ui/images.h"
#include "ui/listdrawing.h"

namespace {

struct TResultColumn {
    const char* caption;
    int width;
};
constexpr TResultColumn kColumns[] = {{"标题", 160}, {"表演者", 80}, {"专集", 80}, {"年份", 80},
                                      {"乐派", 80},  {"大小", 80},   {"时长", 80}, {"码率", 80}};

} // namespace

TFormSearch::TFormSearch(TtcrateFormMain& window)
    : QWidget(&window, Qt::Window), window_(window), results_(std::make_unique<TTrackListModel>()) {
    setObjectName("FormSearch");
    setWindowTitle("搜索");
    resize(760, 520);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    QWidget* criteria = BuildCriteria();
    BuildResultList();
    auto* status = new QStatusBar(this);
    status_ = new QLabel(status);
    status->addWidget(status_, 1);
    layout->addWidget(criteria);
    layout->addWidget(list_, 1);
    layout->addWidget(status);

    thread_ = std::make_unique<TSearchThread>(window.Library(), window.LibraryLock());
    // What the worker sent before it ended is still delivered: without it
    // the library may have gone.
    connect(thread_.get(), &TSearchThread::SearchStarted, this, [this] {
        if (!thread_) return;
        results_->Clear();
        UpdateStatusText();
    }, Qt::QueuedConnection);
    connect(thread_.get(), &TSearchThread::MatchesFound, this, [this](TTrackRows rows) {
        if (!thread_) return;
        // An item deleted from the library since the worker found it is not shown.
        rows.removeIf([](const TTrackRow& row) { return row.item->ListOrder() == 0; });
        results_->Append(rows);
        UpdateStatusText();
    }, Qt::QueuedConnection);
    connect(thread_.get(), &TSearchThread::SearchFinished, this, &TFormSearch::SearchFinished, Qt::QueuedConnection);
    connect(&window.Edit(), &TEditCommands::LibraryChanged, this, &TFormSearch::ForgetDeletedItems);
    UpdateStatusText();
}

TFormSearch::~TFormSearch() = default;

QWidget* TFormSearch::BuildCriteria() {
    auto* group = new QGroupBox("搜索条件", this);
    group->setObjectName("GroupBox1");
    auto* fields = new QGridLayout;
    const auto edit = [this](const char* name) {
        auto* field = new QLineEdit(this);
        field->setObjectName(name);
        connect(field, &QLineEdit::returnPressed, this, &TFormSearch::BitBtn1Click);
        return field;
    };
    title_ = edit("EditTitle");
    artist_ = edit("EditArtist");
    year_ = edit("EditYear");
    album_ = edit("EditAlbum");
    lyrics_ = edit("EditLyrics");
    genre_ = new QComboBox(this);
    genre_->setObjectName("ComboGenre");
    for (std::string_view name : kGenreTable) genre_->addItem(QString::fromUtf8(name.data(), qsizetype(name.size())));
    genre_->addItem("Other");
    genre_->setCurrentIndex(-1);
    picture_ = new QComboBox(this);
    picture_->setObjectName("ComboPicture");
    picture_->addItems({"", "Yes", "No"});
    picture_->setCurrentIndex(-1);
    const std::pair<const char*, QWidget*> rows[] = {{"标题", title_}, {"表演者", artist_}, {"年份", year_},
                                                     {"乐派", genre_}, {"专集", album_},    {"图片", picture_},
                                                     {"歌词", lyrics_}};
    // Two columns of criteria, the lyrics across the whole width.
    for (int i = 0; i < 7; ++i) {
        const int line = i / 2, column = (i % 2) * 2;
        fields->addWidget(new QLabel(rows[i].first, this), line, column);
        fields->addWidget(rows[i].second, line, column + 1, 1, i == 6 ? 3 : 1);
    }
    start_ = new QPushButton(ImageList20(Images::kSearch), "开始", this);
    start_->setObjectName("BitBtn1");
    start_->setDefault(true);
    auto* close = new QPushButton("取消", this);
    close->setObjectName("BitBtn2");
    connect(start_, &QPushButton::clicked, this, &TFormSearch::BitBtn1Click);
    connect(close, &QPushButton::clicked, this, &TFormSearch::BitBtn2Click);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(close);
    buttons->addStretch();
    auto* box = new QHBoxLayout(group);
    box->addLayout(fields, 1);
    box->addLayout(buttons);
    return group;
}

void TFormSearch::BuildResultList() {
    list_ = new QTreeView(this);
    list_->setObjectName("ListView1");
    list_->setModel(results_.get());
    list_->setItemDelegate(new TRowDelegate(false, list_));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setIconSize(QSize(20, 20));
    list_->header()->setSectionsClickable(true);
    list_->header()->setStretchLastSection(false);
    for (const TResultColumn& column : kColumns) {
        results_->AppendColumn(QString::fromUtf8(column.caption));
        list_->header()->resizeSection(results_->columnCount() - 1, column.width);
    }
    connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) { results_->ClickColumn(column); });
    connect(list_, &QTreeView::doubleClicked, this, &TFormSearch::Play1Click);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TFormSearch::UpdateStatusText);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QTreeView::customContextMenuRequested, this, &TFormSearch::ShowContextMenu);
    list_->viewport()->installEventFilter(this);
    list_->installEventFilter(this);

    menu_ = new QMenu(this);
    menu_->setObjectName("PopupMenu1");
    const auto add = [this](const char* name, const char* caption, int image, void (TFormSearch::*handler)()) {
        QAction* action = menu_->addAction(ImageList20(image), caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    menu_->setDefaultAction(add("Play1", "播放", Images::kPlay, &TFormSearch::Play1Click));
    menu_->addSeparator();
    add("Viewpicture1", "图片查看器", Images::kPicture, &TFormSearch::Viewpicture1Click);
    add("ViewLirics1", "歌词查看器", Images::kLyrics, &TFormSearch::ViewLirics1Click);
    menu_->addSeparator();
    add("AddtoMyfavour1", "添加到 我的最爱", Images::kFavourites, &TFormSearch::AddtoMyfavour1Click);
    add("Addtoplaylist1", "添加到 播放列表", Images::kPlaylist, &TFormSearch::Addtoplaylist1Click);
}

TSearchCriteria TFormSearch::Criteria() const {
    TSearchCriteria criteria;
    const auto text = [](const QLineEdit* field) { return field->text().toStdString(); };
    criteria.title = text(title_);
    criteria.artist = text(artist_);
    criteria.year = text(year_);
    criteria.genre = genre_->currentText().toStdString();
    criteria.album = text(album_);
    criteria.lyrics = text(lyrics_);
    if (picture_->currentText() == "Yes") criteria.picture = TSearchCriteria::TPicture::Yes;
    if (picture_->currentText() == "No") criteria.picture = TSearchCriteria::TPicture::No;
    criteria.Trim();
    return criteria;
}

bool TFormSearch::Searching() const { return thread_ && thread_->Searching(); }

void TFormSearch::BitBtn1Click() {
    if (thread_) thread_->Search(Criteria());
}

void TFormSearch::Forget() {
    thread_.reset();
    results_->Clear();
    UpdateStatusText();
}

void TFormSearch::BitBtn2Click() { close(); }

QString TFormSearch::StatusText() const { return status_->text(); }

void TFormSearch::UpdateStatusText() {
    const qsizetype selected = list_->selectionModel()->selectedRows().size();
    status_->setText(QString("%1 items, %2 items selected").arg(results_->rowCount()).arg(selected));
}

std::vector<TMObj*> TFormSearch::SelectedItems() const {
    QModelIndexList rows = list_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<TMObj*> items;
    items.reserve(std::size_t(rows.size()));
    for (const QModelIndex& row : rows) items.push_back(results_->Row(row.row()).item);
    return items;
}

void TFormSearch::ForgetDeletedItems() {
    results_->RemoveRows([](const TTrackRow& row) { return row.item->ListOrder() == 0; });
    UpdateStatusText();
}

void TFormSearch::Play1Click() {
    TTUNECRATE* library = window_.Library();
    if (library == nullptr) return;
    const std::vector<TMObj*> items = SelectedItems();
    if (!items.empty()) {
        window_.PlayControl().PlayItems(items);
        return;
    }
    library->SetNowPlayingIndex(0);
    window_.PlayControl().PlayCurrentItem();
}

void TFormSearch::Viewpicture1Click() {
    const std::vector<TMObj*> items = SelectedItems();
    if (items.empty()) return;
    TMObj* item = items.front();
    if (!item->GetPictureFileName().empty()) {
        item->ShowPicture(nullptr);
        return;
    }
    // The tag editor changes the item: not while a long command runs.
    window_.Edit().WhenIdle([this, item] {
        if (window_.Library() != nullptr && item->ShowProperties("IMAGE", nullptr) == 1) {
            window_.ItemEdited();
            list_->viewport()->update();
        }
    });
}

void TFormSearch::ViewLirics1Click() {
    const std::vector<TMObj*> items = SelectedItems();
    if (items.empty()) return;
    const QString lyrics = QString::fromStdString(items.front()->GetLyrics());
    if (!lyrics.trimmed().isEmpty()) window_.ShowLyrics("lyrics", lyrics);
}

void TFormSearch::AddtoMyfavour1Click() {
    const std::vector<TMObj*> items = SelectedItems();
    window_.Edit().WhenIdle([this, items] {
        if (TTUNECRATE* library = window_.Library()) window_.Edit().AddItemsTo(library->FavouritesBox, items);
    });
}

void TFormSearch::Addtoplaylist1Click() {
    const std::vector<TMObj*> items = SelectedItems();
    window_.Edit().WhenIdle([this, items] {
        if (TTUNECRATE* library = window_.Library()) window_.Edit().AddItemsTo(library->PlaylistBox, items);
    });
}

void TFormSearch::ShowContextMenu(const QPoint& position) {
    const QModelIndex row = list_->indexAt(position);
    if (!row.isValid()) return;
    list_->selectionModel()->select(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    menu_->popup(list_->viewport()->mapToGlobal(position));
}

bool TFormSearch::eventFilter(QObject* watched, QEvent* event) {
    // The right button leaves the selection to the context menu, which adds its row.
    if (watched == list_->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        return true;
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_A && key->modifiers() == Qt::ControlModifier) {
            list_->selectAll();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
