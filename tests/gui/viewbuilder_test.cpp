#include "browser/viewbuilder.h"

#include <QStringList>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <semaphore>
#include <set>
#include <shared_mutex>
#include <string>
#include <vector>

#include "core/box.h"
#include "laterstart.h"
#include "media/mediaenv.h"
#include "media/mp3tag.h"

static bool operator==(const TTrackRow& a, const TTrackRow& b) { return a.box == b.box && a.item == b.item; }

namespace {

constexpr int kLargeBox = 200000;

// What the window does with the builder's signals: drops those of older
// builds, clears on a start, appends rows.
class TWindowSide {
public:
    explicit TWindowSide(TCreateViewThread& builder) : builder_(builder) {
        QObject::connect(&builder, &TCreateViewThread::BuildStarted, &context_, [this](quint64 build) {
            if (!Stale(build)) rows.clear();
        }, Qt::QueuedConnection);
        QObject::connect(&builder, &TCreateViewThread::RowsReady, &context_, [this](quint64 build, const TTrackRows& batch) {
            if (!Stale(build)) rows += batch;
        }, Qt::QueuedConnection);
        QObject::connect(&builder, &TCreateViewThread::StatusText, &context_, [this](quint64 build, const QString& text) {
            if (!Stale(build)) status << text;
        }, Qt::QueuedConnection);
        QObject::connect(&builder, &TCreateViewThread::BuildFinished, &context_,
                         [this](quint64 build) { finished.insert(build); }, Qt::QueuedConnection);
    }

    bool WaitFinished(quint64 build) {
        return WaitUntil([&] { return finished.count(build) != 0; }, 20000);
    }

    TTrackRows rows;
    QStringList status; // of every build not stale when it came
    std::set<quint64> finished; // stale ones too
private:
    bool Stale(quint64 build) const { return build < builder_.CurrentBuild(); }

    TCreateViewThread& builder_;
    QObject context_;
};

// Holds the builder in its first batch of one build, with the library lock
// released, until opened.
class TBatchGate {
public:
    TBatchGate(TCreateViewThread& builder, quint64 build) : build_(build) {
        QObject::connect(&builder, &TCreateViewThread::RowsReady, &context_, [this](quint64 rowsBuild, const TTrackRows&) {
            if (rowsBuild != build_ || held_.exchange(true)) return;
            entered_.release();
            resume_.acquire();
        }, Qt::DirectConnection);
    }
    bool WaitEntered() { return entered_.try_acquire_for(std::chrono::seconds(20)); }
    void Open() {
        if (!opened_.exchange(true)) resume_.release();
    }

private:
    const quint64 build_;
    std::atomic<bool> held_{false};
    std::atomic<bool> opened_{false};
    std::binary_semaphore entered_{0};
    std::binary_semaphore resume_{0};
    QObject context_; // first to go: no call reaches a gate being destroyed
};

class ViewBuilder : public testing::Test {
protected:
    ~ViewBuilder() override {
        // A builder held at a gate could not end.
        if (gate_) gate_->Open();
        builder_.reset();
    }

    TMObj* Item(const std::string& name, const std::string& artist = "") {
        auto item = std::make_unique<TMP3Tag>(env_);
        std::string text = "filename=/m/" + name + ".mp3\r\n";
        if (!artist.empty()) text += "TPE1=" + artist + "\r\n";
        item->LoadFromText(text);
        items_.push_back(std::move(item));
        return items_.back().get();
    }
    // One real item listed many times: the builder never looks into items.
    void FillLarge(TBOX& box) {
        TMObj* item = Item("large");
        for (int i = 0; i < kLargeBox; ++i) box.AddItem(item);
    }
    // Requests the box with the builder to be held in that build's first batch.
    quint64 RequestHeld(TBOX* box) {
        gate_ = std::make_unique<TBatchGate>(*builder_, builder_->CurrentBuild() + 1);
        builder_->RequestBuild(box);
        return builder_->CurrentBuild();
    }

    TMediaEnvironment env_{"/tmp/", "GB18030"};
    std::vector<std::unique_ptr<TMObj>> items_;
    std::shared_mutex libraryLock_;
    std::unique_ptr<TCreateViewThread> builder_ = std::make_unique<TCreateViewThread>(libraryLock_);
    TWindowSide window_{*builder_};
    std::unique_ptr<TBatchGate> gate_;
};

TEST_F(ViewBuilder, ListsChildBoxesFirstThenItemsInOrder) {
    TBOX box("artist");
    TMObj* first = Item("1");
    box.AddItem(Item("2", "A"));
    box.AddItem(first);
    box.AddItem(Item("3", "B"));
    TMObj* second = Item("4");
    TMObj* third = Item("5");
    box.AddItem(second);
    box.AddItem(third);
    ASSERT_EQ(box.ChildCount(), 2);

    builder_->RequestBuild(&box);
    ASSERT_TRUE(window_.WaitFinished(builder_->CurrentBuild()));

    const TTrackRows expected{{box.GetChild(0), nullptr}, {box.GetChild(1), nullptr}, {nullptr, first},
                              {nullptr, second}, {nullptr, third}};
    EXPECT_EQ(window_.rows, expected);
    EXPECT_EQ(box.GetChild(0)->GetName(), "A");
    ASSERT_FALSE(window_.status.isEmpty());
    EXPECT_EQ(window_.status.front(), "boxs=2, files=3");
    EXPECT_EQ(window_.status.back(), "boxs=2, files=3 finished=5");
}

TEST_F(ViewBuilder, ALargeBoxArrivesWholeInBatches) {
    TBOX box;
    FillLarge(box);
    int batches = 0;
    QObject counter;
    QObject::connect(builder_.get(), &TCreateViewThread::RowsReady, &counter, [&] { ++batches; }, Qt::QueuedConnection);

    builder_->RequestBuild(&box);
    ASSERT_TRUE(window_.WaitFinished(builder_->CurrentBuild()));

    EXPECT_EQ(window_.rows.size(), kLargeBox);
    EXPECT_GT(batches, 1);
    EXPECT_EQ(window_.status.back(), QStringLiteral("boxs=0, files=%1 finished=%1").arg(kLargeBox));
}

TEST_F(ViewBuilder, ANullBoxGivesAnEmptyBuild) {
    int started = 0;
    QObject counter;
    QObject::connect(builder_.get(), &TCreateViewThread::BuildStarted, &counter, [&] { ++started; }, Qt::QueuedConnection);

    builder_->RequestBuild(nullptr);
    ASSERT_TRUE(window_.WaitFinished(builder_->CurrentBuild()));

    EXPECT_EQ(started, 1);
    EXPECT_TRUE(window_.rows.isEmpty());
}

TEST_F(ViewBuilder, ANewerRequestReplacesTheRunningBuild) {
    TBOX large;
    FillLarge(large);
    TBOX small;
    TMObj* only = Item("small");
    small.AddItem(only);

    const quint64 first = RequestHeld(&large);
    ASSERT_TRUE(gate_->WaitEntered());
    builder_->RequestBuild(&small);
    gate_->Open();
    ASSERT_TRUE(window_.WaitFinished(builder_->CurrentBuild()));

    EXPECT_TRUE(window_.finished.count(first));
    ASSERT_EQ(window_.rows.size(), 1);
    EXPECT_EQ(window_.rows[0].item, only);
    EXPECT_EQ(window_.status.back(), "boxs=0, files=1 finished=1");
}

TEST_F(ViewBuilder, OnlyTheLastOfQueuedRequestsIsBuilt) {
    TBOX large;
    FillLarge(large);
    TBOX a;
    a.AddItem(Item("a"));
    TBOX b;
    TMObj* kept = Item("b");
    b.AddItem(kept);

    // Both wait while the large build is held, so the first is dropped unseen.
    const quint64 held = RequestHeld(&large);
    ASSERT_TRUE(gate_->WaitEntered());
    builder_->RequestBuild(&a);
    builder_->RequestBuild(&b);
    gate_->Open();
    ASSERT_TRUE(window_.WaitFinished(builder_->CurrentBuild()));

    EXPECT_EQ(window_.finished, (std::set<quint64>{held, held + 2}));
    ASSERT_EQ(window_.rows.size(), 1);
    EXPECT_EQ(window_.rows[0].item, kept);
}

TEST_F(ViewBuilder, CancelStopsTheBuildBeforeItsNextRow) {
    TBOX box;
    FillLarge(box);
    const quint64 build = RequestHeld(&box);
    ASSERT_TRUE(gate_->WaitEntered());
    builder_->CancelBuild();
    gate_->Open();
    ASSERT_TRUE(window_.WaitFinished(build));

    EXPECT_GT(window_.rows.size(), 0);
    EXPECT_LT(window_.rows.size(), kLargeBox);
    EXPECT_EQ(builder_->CurrentBuild(), build);
}

TEST_F(ViewBuilder, EndsPromptlyDuringALargeBuild) {
    TBOX box;
    FillLarge(box);
    RequestHeld(&box);
    ASSERT_TRUE(gate_->WaitEntered());
    gate_->Open();
    builder_.reset();
    SUCCEED();
}

// The window changes the library under the exclusive lock.
class ViewBuilderLock : public ViewBuilder {
protected:
    // Holds the builder between two batches of a large build, and takes the
    // lock exclusively meanwhile.
    std::unique_lock<std::shared_mutex> LockDuringBuild(TBOX& box) {
        FillLarge(box);
        build_ = RequestHeld(&box);
        EXPECT_TRUE(gate_->WaitEntered());
        std::unique_lock lock(libraryLock_, std::try_to_lock);
        EXPECT_TRUE(lock.owns_lock());
        gate_->Open();
        return lock;
    }

    quint64 build_ = 0;
};

TEST_F(ViewBuilderLock, TheBuildGoesOnWhenNothingChanged) {
    TBOX box;
    LockDuringBuild(box).unlock();
    ASSERT_TRUE(window_.WaitFinished(build_));
    EXPECT_EQ(window_.rows.size(), kLargeBox);
}

TEST_F(ViewBuilderLock, AChangeCancelsAndTheNewBuildShowsIt) {
    TBOX box;
    {
        auto lock = LockDuringBuild(box);
        builder_->CancelBuild();
        box.ClearItems();
        box.AddItem(Item("after"));
    }
    builder_->RequestBuild(&box);
    ASSERT_TRUE(window_.WaitFinished(builder_->CurrentBuild()));

    EXPECT_TRUE(window_.finished.count(build_));
    ASSERT_EQ(window_.rows.size(), 1);
    EXPECT_EQ(window_.rows[0].item, items_.back().get());
}

} // namespace
