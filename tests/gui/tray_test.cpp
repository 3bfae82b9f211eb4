#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QTreeWidget>

#include "core/sysinfo.h"
#include "playfixture.h"

namespace {

class TrayTest : public PlayTest {
protected:
    std::unique_ptr<TtcrateFormMain> Shown() {
        auto window = OpenWith({Song("a.mp3", "A title long enough to be cut in the tip of the tray icon today", "Ann")});
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }
    static bool WindowCommandsShown(TtcrateFormMain& window) {
        return window.Action("OpenTunecrate1")->isVisible() && window.Action("N1")->isVisible() &&
               window.Action("Exit1")->isVisible() && window.Action("N12")->isVisible();
    }
};

} // namespace

TEST_F(TrayTest, MinimisingGoesToTheNotificationAreaAndTheIconBringsTheWindowBack) {
    auto window = Shown();
    EXPECT_EQ(tray.menu, window->Menu("PopupMenuPlay"));
    window->showMinimized();
    EXPECT_TRUE(tray.shown);
    EXPECT_FALSE(window->Tray().WindowShown());
    ASSERT_TRUE(WaitUntil([&] { return !window->isVisible(); }));

    tray.LeftClick();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_FALSE(tray.shown);
    EXPECT_TRUE(window->Tray().WindowShown());
}

TEST_F(TrayTest, WithTheOptionOffOrNoNotificationAreaTheProgramStaysInTheTaskBar) {
    auto window = Shown();
    window->Settings().WriteBool("application.tray", false);
    window->showMinimized();
    QTest::qWait(20);
    EXPECT_FALSE(tray.shown);
    EXPECT_TRUE(window->isVisible());
    window->showNormal();

    // Refused by the desktop: minimised as usual, the menu's window commands all the same.
    window->Settings().WriteBool("application.tray", true);
    tray.available = false;
    window->Tray().HideWindowCommands();
    window->showMinimized();
    QTest::qWait(20);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(WindowCommandsShown(*window));
}

TEST_F(TrayTest, TheOptionSwitchedOffInTheTrayLeavesTheIconThere) {
    auto window = Shown();
    window->showMinimized();
    ASSERT_TRUE(tray.shown);
    window->Settings().WriteBool("application.tray", false);
    tray.LeftClick();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(tray.shown);
}

TEST_F(TrayTest, TheTipIsTheTitleLineCutTo63Characters) {
    auto window = Shown();
    EXPECT_EQ(tray.tip, "");
    Queue(*window, {0}, 0);
    window->PlayControl().PlayCurrentItem();
    const QString line = "A title long enough to be cut in the tip of the tray icon today";
    EXPECT_EQ(window->PlayerPanel()->LabelTitle()->text(), "Ann  " + line);
    EXPECT_EQ(tray.tip.size(), 63);
    EXPECT_EQ(tray.tip, ("Ann  " + line).left(60) + "...");
    EXPECT_EQ(TTrayController::TipOf(QString(63, 'x')), QString(63, 'x'));
    // A character outside the basic plane is not cut in half.
    const QString wide = QString(59, 'x') + QString::fromUtf8("\U0001F3B5") + "yyyy";
    EXPECT_EQ(TTrayController::TipOf(wide), QString(59, 'x') + "...");
}

TEST_F(TrayTest, TheNowPlayingNodesMenuIsTheTrayMenuWithoutTheWindowCommands) {
    auto window = Shown();
    QTreeWidget* tree = window->Tree();
    const QRect node = tree->visualItemRect(Root(*window, 3));
    QContextMenuEvent event(QContextMenuEvent::Mouse, node.center(), tree->viewport()->mapToGlobal(node.center()));
    QCoreApplication::sendEvent(tree->viewport(), &event);
    EXPECT_TRUE(window->Menu("PopupMenuPlay")->isVisible());
    EXPECT_FALSE(window->Action("OpenTunecrate1")->isVisible());
    EXPECT_FALSE(window->Action("Exit1")->isVisible());
    EXPECT_TRUE(window->Action("NPlay")->isVisible());
    window->Menu("PopupMenuPlay")->close();
    window->showMinimized();
    EXPECT_TRUE(WindowCommandsShown(*window));
}
