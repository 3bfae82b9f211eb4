#pragma once

#include <QWidget>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;
class TMObj;
class TSearchThread;
class TTrackListModel;
class TtcrateFormMain;
struct TSearchCriteria;

// The search window: seven criteria over the whole library, searched by a
// worker thread while the window stays usable, and a result list whose
// items can be played, viewed and added to the favourites or the playlist.
// Closing only hides it; it goes with the main window.
class TFormSearch : public QWidget {
    Q_OBJECT
public:
    explicit TFormSearch(TtcrateFormMain& window);
    ~TFormSearch() override;

    void BitBtn1Click(); // start
    void BitBtn2Click(); // close
    void Play1Click();
    void Viewpicture1Click();
    void ViewLirics1Click();
    void AddtoMyfavour1Click();
    void Addtoplaylist1Click();
    // The library changed: rows of items it no longer holds go.
    void ForgetDeletedItems();
    // The library is about to go: a running search ends first, the worker
    // with it, and no row is kept. Nothing is searched afterwards.
    void Forget();

    TSearchCriteria Criteria() const;
    bool Searching() const;
    TTrackListModel& Results() const { return *results_; }
    QTreeView* ListView() const { return list_; }
    QMenu* PopupMenu() const { return menu_; }
    QString StatusText() const;

signals:
    // A search ended and all its rows are in the list.
    void SearchFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The criteria's group box.
    QWidget* BuildCriteria();
    void BuildResultList();
    void UpdateStatusText();
    // The items of the selected rows, top to bottom.
    std::vector<TMObj*> SelectedItems() const;
    void ShowContextMenu(const QPoint& position);

    TtcrateFormMain& window_;
    QLineEdit* title_ = nullptr;
    QLineEdit* artist_ = nullptr;
    QLineEdit* year_ = nullptr;
    QComboBox* genre_ = nullptr;
    QLineEdit* album_ = nullptr;
    QComboBox* picture_ = nullptr;
    QLineEdit* lyrics_ = nullptr;
    QPushButton* start_ = nullptr;
    QTreeView* list_ = nullptr;
    QMenu* menu_ = nullptr;
    QLabel* status_ = nullptr;
    std::unique_ptr<TTrackListModel> results_;
    std::unique_ptr<TSearchThread> thread_;
};
