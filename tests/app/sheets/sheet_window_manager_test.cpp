#include "app/sheets/sheet_window_manager.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include "app/sheets/sheet_model.h"
#include "sheet_window_fixture.h"

namespace tavrio::app::sheets::testing {
namespace {

// Records the title of every spreadsheet window the moment it is shown.
class ShownWindows : public QObject {
 public:
  ShownWindows() { qApp->installEventFilter(this); }
  ~ShownWindows() override { qApp->removeEventFilter(this); }
  QStringList titles;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      if (auto* window = qobject_cast<SheetWindow*>(watched)) titles << window->windowTitle();
    }
    return false;
  }
};

TEST_F(SheetWindowTest, ASourceWindowOpenedAndClosedDuringTheMergeNeverShows) {
  ShownWindows shown;
  Merge();
  EXPECT_EQ(shown.titles, QStringList{QStringLiteral("工作簿1 - Tavrio")});
  EXPECT_EQ(manager_->Windows().size(), 1u);
}

TEST_F(SheetWindowTest, WindowsStayHiddenWhileScreenUpdatingIsOffAndShowRefreshedAfter) {
  engine_->SetVisible(true);
  engine_->SetScreenUpdating(false);
  engine_->AddWorkbook();
  engine_->SetCellText(std::int16_t{1}, 1, "新");
  SheetWindow* window = WindowOf("工作簿1");
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->updatesEnabled());

  engine_->SetScreenUpdating(true);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->updatesEnabled());
  EXPECT_EQ(window->StatusText(), QStringLiteral("共 1 行"));
  EXPECT_EQ(window->model()->data(window->model()->index(0, 0), Qt::DisplayRole).toString(),
            QStringLiteral("新"));
}

TEST_F(SheetWindowTest, AShownWindowStopsRepaintingWhileScreenUpdatingIsOff) {
  Merge();
  SheetWindow* window = WindowOf("工作簿1");
  engine_->SetScreenUpdating(false);
  EXPECT_FALSE(window->updatesEnabled());
  engine_->SetCellText(std::int16_t{9}, 1, "后加");
  EXPECT_EQ(window->StatusText(), QStringLiteral("共 3 行"));  // not followed yet
  engine_->SetScreenUpdating(true);
  EXPECT_TRUE(window->updatesEnabled());
  EXPECT_EQ(window->StatusText(), QStringLiteral("共 9 行"));
}

TEST_F(SheetWindowTest, NothingShowsUntilThePrivateInstanceIsMadeVisible) {
  engine_->AddWorkbook();
  SheetWindow* window = WindowOf("工作簿1");
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isVisible());
  engine_->SetVisible(true);
  EXPECT_TRUE(window->isVisible());
  engine_->SetVisible(false);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(SheetWindowTest, AWorkbookTheEngineClosesTakesItsWindowAlong) {
  engine_->SetVisible(true);
  engine_->OpenWorkbook("/data/两页.xlsx");
  engine_->AddWorkbook();
  engine_->ActivateWindow("两页.xlsx");
  engine_->CloseActiveWindow();
  QApplication::processEvents();
  EXPECT_EQ(WindowOf("两页.xlsx"), nullptr);
  EXPECT_EQ(manager_->Windows().size(), 1u);
}

TEST_F(SheetWindowTest, TheEngineOutlivesItsWindowManager) {
  Merge();
  manager_.reset();
  engine_->AddWorkbook();  // nobody is told any more, and nothing breaks
  EXPECT_EQ(engine_->WorkbookNames().size(), 2u);
}

TEST_F(SheetWindowTest, ClosingTheLastShownWindowEndsTheProgramThoughAHiddenOneIsOpen) {
  Merge();
  engine_->SetScreenUpdating(false);
  engine_->AddWorkbook();  // 工作簿2, not shown while screen updating is off
  ASSERT_FALSE(WindowOf("工作簿2")->isVisible());
  dialogs_.save_changes = SaveChangesAnswer::kDontSave;
  QTimer::singleShot(0, WindowOf("工作簿1"), [this] { WindowOf("工作簿1")->close(); });
  // Only a guard: the loop ends at once unless a hidden window keeps the program alive.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, qApp, [] { QApplication::exit(1); });
  guard.start(30000);
  EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
  EXPECT_EQ(QApplication::exec(), 0);
}

}  // namespace
}  // namespace tavrio::app::sheets::testing
