#include "app/app.h"
#include "fixture.h"
#include "res/resources.h"

namespace {

class AppTest : public SimTest {};

TEST_F(AppTest, TheFirstCopyRunsTheMainDialogModallyAndKeepsItsMutex) {
  bool ran = false;
  hl::SetModalScript(res::IDD_TIDEWELL_DIALOG, [&](fw::CDialog& d) {
    ran = true;
    EXPECT_EQ(fw::AfxGetApp()->m_pMainWnd, &d);
    hl::Click(d, fw::IDOK);
  });
  EXPECT_EQ(theApp.InitInstance(), 0);
  EXPECT_TRUE(ran);
  EXPECT_EQ(hl::ModalDialogsRun(), std::vector<int>{res::IDD_TIDEWELL_DIALOG});
  EXPECT_TRUE(world->MutexExists(u"TidewellMutex"));
  EXPECT_EQ(theApp.RegistryKey(), L"Velmora, Inc.");
}

TEST_F(AppTest, ASecondCopyEndsAtOnceWithoutAWindow) {
  world->AddForeignMutex(u"TidewellMutex");
  EXPECT_EQ(theApp.InitInstance(), 0);
  EXPECT_TRUE(hl::ModalDialogsRun().empty());
  EXPECT_TRUE(hl::MessageBoxesShown().empty());
}

TEST_F(AppTest, AMutexThatCannotBeCreatedStillLetsTheProgramRun) {
  world->FailCall("CreateMutexW", plat::ERROR_ACCESS_DENIED);
  theApp.InitInstance();
  EXPECT_EQ(hl::ModalDialogsRun(), std::vector<int>{res::IDD_TIDEWELL_DIALOG});
}

TEST_F(AppTest, MessageBoxesAreCaptionedWithTheExecutablesBaseName) {
  world->SetModulePath(u"D:\\tools\\Tidewell.exe");
  fw::AfxMessageBox(L"one", fw::MB_OK);
  world->SetModulePath(u"D:\\tools\\renamed.copy.exe");
  fw::AfxMessageBox(L"two", fw::MB_YESNO);
  const auto& boxes = hl::MessageBoxesShown();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, L"Tidewell");
  EXPECT_EQ(boxes[0].type, fw::MB_OK | fw::MB_ICONWARNING);
  EXPECT_EQ(boxes[1].caption, L"renamed.copy");
  EXPECT_EQ(boxes[1].type, fw::MB_YESNO | fw::MB_ICONQUESTION);
  EXPECT_EQ(boxes[1].answer, fw::IDNO);
}

}  // namespace
