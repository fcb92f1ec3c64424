// The configuration sheet and its page over a hand-built parameter set and a fake camera: filling
// the grid, focus and labels, edits, Apply, OK and Cancel, collapse states, failures, the platform
// rules of RunConfigurationDialog, and screenshots for a person to look at.

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DialogTestSupport.h"
#include "TestSupport.h"
#include "dialog/CPropertyGeneral.h"
#include "dialog/CPropertyGridCombo.h"
#include "dialog/CPropertyGridInPlaceEdit.h"
#include "dialog/CSheet1.h"
#include "dialog/ConfigurationDialog.h"
#include "dialog/GuiApplication.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"

namespace {

template <typename P>
P& As(CameraParameters& set, const std::string& name) {
    return dynamic_cast<P&>(*set.Find(name));
}

// Adds "LastFocusedItemName" as the page itself creates it: hidden, not stored.
void AddLastFocused(CameraParameters& set, const std::string& name) {
    auto last = std::make_unique<Param<std::string>>("Internal", "LastFocusedItemName", name);
    last->mWritable = false;
    last->mGeneral = true;
    last->mPersistent = false;
    last->mVisible = false;
    set.AddParameter_(std::move(last));
}

// Types a text into an item's edit box and presses Enter.
void EditValue(CPropertyGrid& grid, int item, const QString& text) {
    Click(grid, ValuePoint(grid, item));
    CPropertyGridInPlaceEdit* edit = grid.GetInPlaceEdit();
    ASSERT_NE(edit, nullptr) << "no edit box for item " << item;
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// The sheet and page as RunConfigurationDialog builds them, shown without a modal loop.
class ConfigurationPageTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(RequireGui()); }

    void Open() {
        sheet = std::make_unique<CSheet1>(QStringLiteral("Configure camera on port #3: Cam"),
                                          nullptr, 0, target.mPort);
        page = std::make_unique<CPropertyGeneral>(target, *target.mWorking, sheet.get());
        sheet->AddPage(page.get());
        ASSERT_NO_FATAL_FAILURE(ShowActive(*sheet));
        grid = page->Grid();
    }

    int Item(const std::string& name) { return page->ItemOf(target.mWorking->Find(name)); }

    LogCapture log;
    FakeTarget target;
    std::unique_ptr<CSheet1> sheet;
    std::unique_ptr<CPropertyGeneral> page;
    PropertyGrid* grid = nullptr;
};

// --- Filling the page ---------------------------------------------------------------------------

TEST_F(ConfigurationPageTest, OneSectionPerCategoryWithVisibleParameters) {
    ASSERT_NO_FATAL_FAILURE(Open());
    std::vector<std::string> sections;
    for (int id : grid->GetSectionIds()) {
        sections.push_back(grid->GetSectionName(id));
    }
    // "Hidden" has only an invisible parameter; the collapse flags are invisible too.
    EXPECT_EQ(sections,
              (std::vector<std::string>{"General", "AOI", "Acquisition", "DeviceInformation"}));
    EXPECT_EQ(grid->GetItemIds(page->SectionIds().at("General")).size(), 7u);
    EXPECT_EQ(grid->GetItemIds(page->SectionIds().at("Acquisition")).size(), 4u);
    EXPECT_EQ(Item("SecretRegister"), -1);
    EXPECT_EQ(grid->GetDisplayText(Item("DeviceID")), "FF");
    EXPECT_EQ(grid->GetDisplayText(Item("PixelFormat")), "Mono8");
    EXPECT_FALSE(grid->IsItemEditable(Item("OffsetX")));
    EXPECT_EQ(sheet->Tabs()->tabText(0).toStdString(), "General");
    EXPECT_EQ(page->NameLabel()->text().toStdString(), "");
    EXPECT_EQ(page->DescriptionLabel()->text().toStdString(), "");
    EXPECT_TRUE(sheet->OkButton()->isEnabled());
    EXPECT_FALSE(sheet->ApplyButton()->isEnabled());
    // The buttons stand in a column at the right edge.
    const QRect ok = sheet->OkButton()->geometry();
    EXPECT_EQ(ok.topLeft(), QPoint(sheet->width() - ok.width() - 17, 27));
    EXPECT_EQ(sheet->CancelButton()->geometry().top(), ok.height() + 32);
    EXPECT_EQ(sheet->ApplyButton()->geometry().top(), 3 * ok.height() + 42);
    EXPECT_GT(ok.left(), sheet->Tabs()->geometry().right());
    EXPECT_EQ(sheet->StatusBar()->geometry().bottom(), sheet->height() - 1);
}

TEST_F(ConfigurationPageTest, LastFocusedItemIsFocusedAgainButLabelsStartEmpty) {
    AddLastFocused(*target.mWorking, "Height");
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(grid->GetFocusedItem(), Item("Height"));
    EXPECT_EQ(page->NameLabel()->text().toStdString(), "");
    EXPECT_EQ(page->DescriptionLabel()->text().toStdString(), "");
}

TEST_F(ConfigurationPageTest, LastFocusedNameOfNoVisibleParameterFocusesNothing) {
    AddLastFocused(*target.mWorking, "SecretRegister");
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(grid->GetFocusedItem(), -1);
    EXPECT_EQ(grid->GetFocusedSection(), -1);
}

TEST_F(ConfigurationPageTest, StoredCollapseStatesAreShown) {
    As<Param<bool>>(*target.mWorking, "Acquisition_CollapseStatus").mValue = false;
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_TRUE(grid->IsSectionCollapsed(page->SectionIds().at("Acquisition")));
    EXPECT_FALSE(grid->IsSectionCollapsed(page->SectionIds().at("AOI")));
}

// --- Focus and labels ---------------------------------------------------------------------------

TEST_F(ConfigurationPageTest, FocusShowsDisplayNameRangeAndDescription) {
    As<Param<double>>(*target.mWorking, "ExposureTimeAbs").mMax = 1234567.891;
    ASSERT_NO_FATAL_FAILURE(Open());
    Click(*grid, NamePoint(*grid, Item("ExposureTimeAbs")));
    EXPECT_EQ(page->NameLabel()->text().toStdString(),
              "Exposure Time (Abs) [us] [35..1234567.89]");  // 9 significant digits
    EXPECT_EQ(page->DescriptionLabel()->text().toStdString(),
              "Exposure time of the camera in microseconds.");
    const auto& last = As<Param<std::string>>(*target.mWorking, "LastFocusedItemName");
    EXPECT_EQ(last.mValue, "ExposureTimeAbs");
    EXPECT_EQ(last.mCategory, "Internal");
    EXPECT_TRUE(last.mGeneral);
    EXPECT_FALSE(last.mWritable || last.mPersistent || last.mVisible);

    Click(*grid, NamePoint(*grid, Item("Width")));
    EXPECT_EQ(page->NameLabel()->text().toStdString(), "Width [16..1280]");
    Click(*grid, NamePoint(*grid, Item("OffsetX")));  // read-only: no range
    EXPECT_EQ(page->NameLabel()->text().toStdString(), "OffsetX");
    Click(*grid, NamePoint(*grid, Item("PixelFormat")));  // not a number: no range
    EXPECT_EQ(page->NameLabel()->text().toStdString(), "PixelFormat");
    EXPECT_EQ(last.mValue, "PixelFormat");
    const QRect header = grid->GetSectionRect(page->SectionIds().at("AOI"));
    Click(*grid, QPoint(100, header.center().y()));  // a header: both labels empty
    EXPECT_EQ(page->NameLabel()->text().toStdString(), "");
    EXPECT_EQ(last.mValue, "PixelFormat");
}

// --- Edits and Apply
// ------------------------------------------------------------------------------

TEST_F(ConfigurationPageTest, ApplyWritesOnlyTheEditedParametersInFirstEditOrder) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("Height"), "400"));
    EXPECT_TRUE(sheet->ApplyButton()->isEnabled());
    EXPECT_EQ(As<Param<int64_t>>(*target.mWorking, "Height").mValue, 400);
    EXPECT_EQ(target.mDevice["Height"], "480");  // nothing reaches the camera before Apply
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("Width"), "800"));
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("Height"), "320"));
    Click(*grid, ValuePoint(*grid, Item("ReverseX")));
    QTest::keyClick(grid->GetCombo(), Qt::Key_Return);  // "True" chosen: unchanged, still marked
    EXPECT_EQ(page->ChangedNames(), (std::vector<std::string>{"Height", "Width", "ReverseX"}));

    QTest::mouseClick(sheet->ApplyButton(), Qt::LeftButton);
    ASSERT_EQ(target.mAppliedNames.size(), 1u);
    EXPECT_EQ(target.mAppliedNames[0], (std::vector<std::string>{"Height", "Width", "ReverseX"}));
    EXPECT_EQ(target.mDevice["Height"], "320");
    EXPECT_EQ(target.mDevice["Width"], "800");
    EXPECT_TRUE(page->ChangedNames().empty());
    EXPECT_FALSE(sheet->ApplyButton()->isEnabled());
    EXPECT_TRUE(sheet->isVisible());
    // A second Apply without edits writes nothing.
    page->OnApply();
    EXPECT_EQ(target.mAppliedNames.size(), 1u);
}

TEST_F(ConfigurationPageTest, InvalidValueDisablesOkUntilTheCameraValueIsValid) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("Width"), "5000"));
    EXPECT_FALSE(sheet->OkButton()->isEnabled());
    EXPECT_FALSE(sheet->IsOkEnabled());
    EXPECT_EQ(sheet->StatusText().toStdString(), "General: AOI: Width: out of range [16..1280]");
    EXPECT_TRUE(sheet->ApplyButton()->isEnabled());
    // OK does nothing while disabled, also through Enter.
    sheet->accept();
    EXPECT_TRUE(sheet->isVisible());
    // Apply: the camera keeps its maximum, which is read back and validated again.
    target.mCoercion["Width"] = "1280";
    QTest::mouseClick(sheet->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(grid->GetDisplayText(Item("Width")), "1280");
    EXPECT_TRUE(sheet->OkButton()->isEnabled());
    // The status bar says why the value did not take.
    EXPECT_EQ(sheet->StatusText().toStdString(),
              "General: Width: 5000 was not applied (out of range [16..1280]), the value is 1280");
    // An edit that takes clears it.
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("Width"), "800"));
    EXPECT_EQ(sheet->StatusText().toStdString(), "");
}

TEST_F(ConfigurationPageTest, ARangeIsWrittenOneWayInTheLabelAndTheStatusBar) {
    As<Param<double>>(*target.mWorking, "ExposureTimeAbs").mMax = 1e7;
    ASSERT_NO_FATAL_FAILURE(Open());
    Click(*grid, NamePoint(*grid, Item("ExposureTimeAbs")));
    EXPECT_EQ(page->NameLabel()->text().toStdString(), "Exposure Time (Abs) [us] [35..10000000]");
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("ExposureTimeAbs"), "20000000"));
    EXPECT_NE(sheet->StatusText().toStdString().find("out of range [35..10000000]"),
              std::string::npos)
        << sheet->StatusText().toStdString();
}

TEST_F(ConfigurationPageTest, TextInANumberCellIsRefusedWithTheReasonInTheStatusBar) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::string shown = grid->GetDisplayText(Item("ExposureTimeAbs"));
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("ExposureTimeAbs"), "abc"));
    EXPECT_EQ(grid->GetDisplayText(Item("ExposureTimeAbs")), shown);
    EXPECT_EQ(sheet->StatusText().toStdString(),
              "General: Exposure Time (Abs) [us]: \"abc\" is not a number");
    EXPECT_FALSE(sheet->ApplyButton()->isEnabled()) << "nothing was edited";
    EXPECT_TRUE(page->ChangedNames().empty());
}

TEST_F(ConfigurationPageTest, ReturnInAnOpenEditorCommitsWithoutClosingTheDialog) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("Width"), "800"));  // typed, then Return
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(grid->GetDisplayText(Item("Width")), "800");
    EXPECT_EQ(sheet->result(), 0);
    Click(*grid, ValuePoint(*grid, Item("PixelFormat")));
    ASSERT_NE(grid->GetCombo(), nullptr);
    QTest::keyClick(grid->GetCombo(), Qt::Key_Down);
    QTest::keyClick(grid->GetCombo(), Qt::Key_Return);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(grid->GetDisplayText(Item("PixelFormat")), "Mono12");
    // With no editor open, Return is the OK button's.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible());
}

// Many parameters, some with long names, as a real camera has them.
void AddManyParameters(CameraParameters& set) {
    for (int i = 0; i < 120; ++i) {
        const std::string name = i % 10 == 0 ? "ExpertFeature" + std::to_string(i) +
                                                   "_ExpertFeatureAccessKeyOfTheSensorBoard"
                                             : "Feature" + std::to_string(i);
        set.AddParameter_(std::make_unique<Param<int64_t>>("Many", name, i, 0, 1000, 1));
    }
    set.CreateCollapseStatus();
}

TEST_F(ConfigurationPageTest, TheDialogOpensLargeAndCanBeResized) {
    AddManyParameters(*target.mWorking);
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_LT(sheet->minimumWidth(), sheet->maximumWidth()) << "resizable";
    EXPECT_LT(sheet->minimumHeight(), sheet->maximumHeight());
    const int rows = grid->viewport()->height() / grid->GetLineHeight();
    EXPECT_GE(rows, 38) << "about 40 rows at first";
    // The longest name fits its column at first.
    const QFontMetrics metrics(grid->font());
    const std::string longName = "ExpertFeature0_ExpertFeatureAccessKeyOfTheSensorBoard";
    EXPECT_LE(18 + metrics.horizontalAdvance(QString::fromStdString(longName)),
              grid->GetSplitter());

    // Larger: the grid takes the room, the buttons keep to the right edge, the bar to the bottom.
    const QSize before = grid->size();
    sheet->resize(sheet->width() + 200, sheet->height() + 150);
    QApplication::processEvents();
    EXPECT_EQ(grid->width(), before.width() + 200);
    EXPECT_EQ(grid->height(), before.height() + 150);
    const QRect ok = sheet->OkButton()->geometry();
    EXPECT_EQ(ok.topLeft(), QPoint(sheet->width() - ok.width() - 17, 27));
    EXPECT_EQ(sheet->StatusBar()->geometry().bottom(), sheet->height() - 1);
    EXPECT_GT(page->DescriptionLabel()->geometry().top(), grid->geometry().bottom());
    ASSERT_TRUE(
        sheet->grab().save(QString::fromStdString(ScreenshotDir() + "/configuration-resized.png")));
    // Smaller than the page's template is not possible.
    sheet->resize(100, 100);
    QApplication::processEvents();
    EXPECT_GE(page->width(), page->minimumWidth());
    EXPECT_GT(sheet->width(), 100);
}

TEST_F(ConfigurationPageTest, DriverSettingsAreValidatedToo) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("BufferCount"), "30"));
    EXPECT_EQ(sheet->StatusText().toStdString(),
              "General: General: BufferCount: out of range [3..25]");
    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("BufferCount"), "10"));
    EXPECT_TRUE(sheet->OkButton()->isEnabled());
    EXPECT_EQ(sheet->StatusText().toStdString(), "");
}

TEST_F(ConfigurationPageTest, StatusTextIsCutTo254Characters) {
    ASSERT_NO_FATAL_FAILURE(Open());
    sheet->SetStatusText(page.get(), std::string(400, 'x'));
    EXPECT_EQ(sheet->StatusText().size(), 254);
    EXPECT_TRUE(sheet->StatusText().startsWith(QStringLiteral("General: xxx")));
    sheet->EnableOk(true);
    EXPECT_TRUE(sheet->StatusText().isEmpty());
}

// --- Failures inside handlers
// ------------------------------------------------------------------------

TEST_F(ConfigurationPageTest, HandlerFailuresAreLoggedAndSkipTheRest) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const int width = Item("Width");
    grid->SetItemValue(width, int64_t{700});
    page->OnItemChanged(width);
    log.Clear();
    // Reading a list item with an index outside its entries fails in the adapter.
    const int format = Item("PixelFormat");
    grid->SetItemValue(format, int64_t{17});
    sheet->SetModified(false);
    page->OnItemChanged(format);
    EXPECT_TRUE(
        log.Contains("port2: ERR: OnItemChanged std Exception: Failed to get control "
                     "'PixelFormat' value, CPropertyGeneral::OnItemChanged"))
        << "log: " << (log.Messages().empty() ? "" : log.Messages().back());
    EXPECT_EQ(page->ChangedNames(), std::vector<std::string>{"Width"});  // not marked
    EXPECT_FALSE(sheet->ApplyButton()->isEnabled());
    EXPECT_EQ(As<ParamEnum>(*target.mWorking, "PixelFormat").mValue, "Mono8");
}

// --- The whole dialog
// -------------------------------------------------------------------------------

class ConfigurationDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(RequireGui()); }

    // Runs the dialog; actions runs inside its modal loop with the open sheet and must close it.
    bool Run(std::function<void(CSheet1&, CPropertyGeneral&)> actions) {
        QTimer::singleShot(0, [actions] {
            CSheet1* sheet = nullptr;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* candidate = qobject_cast<CSheet1*>(widget);
                    candidate && widget->isVisible()) {
                    sheet = candidate;
                }
            }
            ASSERT_NE(sheet, nullptr) << "no sheet open";
            sheet->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(sheet));
            actions(*sheet, *sheet->findChild<CPropertyGeneral*>());
            if (sheet->isVisible()) {
                ADD_FAILURE() << "the actions left the sheet open";
                sheet->reject();
            }
        });
        return RunConfigurationDialog(nullptr, target);
    }

    static int ItemOf(CPropertyGeneral& page, CameraParameters& set, const std::string& name) {
        return page.ItemOf(set.Find(name));
    }

    LogCapture log;
    FakeTarget target;
};

TEST_F(ConfigurationDialogTest, OkAppliesSavesAndResumesContinuousGrabbing) {
    target.mGrabbing = true;
    target.mContinuous = true;
    QString caption;
    bool configuringWhileOpen = false;
    const bool result = Run([&](CSheet1& sheet, CPropertyGeneral& page) {
        caption = sheet.windowTitle();
        configuringWhileOpen = target.mConfiguring;
        EditValue(*page.Grid(), ItemOf(page, *target.mWorking, "Height"), "240");
        const int aoi = page.SectionIds().at("AOI");
        page.Grid()->ExpandSection(aoi, false);
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(caption.toStdString(), "Configure camera on port #3: Model (4711)");
    EXPECT_TRUE(configuringWhileOpen);
    EXPECT_FALSE(target.mConfiguring);
    EXPECT_EQ(target.mCalls,
              (std::vector<std::string>{"SetConfiguring(1)", "StopGrabbing", "ApplyToCamera",
                                        "RefreshFromCamera", "ApplyDriverSettings", "Save",
                                        "StartGrabbing", "SetConfiguring(0)"}));
    EXPECT_EQ(target.mDevice["Height"], "240");
    EXPECT_EQ(target.mSaved["Height"], "240");
    EXPECT_EQ(target.mSaved["AOI_CollapseStatus"], "0");  // stored before the save
    EXPECT_TRUE(target.mGrabbing) << "a host cannot tell that grabbing stopped for the dialog";
    EXPECT_EQ(As<Param<int64_t>>(*target.mBackup, "Height").mValue, 480);
    EXPECT_TRUE(log.Contains("port2: Configure entering, Camera::Configure"));
    EXPECT_TRUE(log.Contains("port2: Configure leaving, Camera::Configure"));
}

TEST_F(ConfigurationDialogTest, OkWithoutEditsStillSavesAndTakesTheSettings) {
    const bool result = Run([&](CSheet1& sheet, CPropertyGeneral&) {
        QTest::keyClick(&sheet, Qt::Key_Return);  // the default button
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(target.mCalls,
              (std::vector<std::string>{"SetConfiguring(1)", "StopGrabbing", "ApplyDriverSettings",
                                        "Save", "SetConfiguring(0)"}));
}

TEST_F(ConfigurationDialogTest, CancelRestoresValuesEvenAfterApply) {
    target.mGrabbing = true;
    target.mContinuous = true;
    const bool result = Run([&](CSheet1& sheet, CPropertyGeneral& page) {
        EditValue(*page.Grid(), ItemOf(page, *target.mWorking, "Width"), "1024");
        EditValue(*page.Grid(), ItemOf(page, *target.mWorking, "DeviceUserID"), "changed");
        page.Grid()->ExpandSection(page.SectionIds().at("AOI"), false);
        QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
        EXPECT_EQ(target.mDevice["Width"], "1024");
        EXPECT_FALSE(As<Param<bool>>(*target.mWorking, "AOI_CollapseStatus").mValue);
        QTest::keyClick(&sheet, Qt::Key_Escape);
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(As<Param<int64_t>>(*target.mWorking, "Width").mValue, 640);
    EXPECT_EQ(As<Param<std::string>>(*target.mWorking, "DeviceUserID").mValue, "cam-1");
    EXPECT_EQ(target.mDevice["Width"], "640");
    EXPECT_EQ(target.mDevice["DeviceUserID"], "cam-1");
    EXPECT_TRUE(As<Param<bool>>(*target.mWorking, "AOI_CollapseStatus").mValue);
    EXPECT_EQ(target.mApplyAllPasses, std::vector<int>{5});
    EXPECT_TRUE(target.mGrabbing);  // restarted: it was grabbing in continuous mode
    EXPECT_EQ(target.mCalls.back(), "SetConfiguring(0)");
    EXPECT_EQ(target.mCalls[target.mCalls.size() - 2], "StartGrabbing");
    // The last focused item survives the cancel: the backup set does not have it.
    EXPECT_EQ(As<Param<std::string>>(*target.mWorking, "LastFocusedItemName").mValue,
              "DeviceUserID");
}

TEST_F(ConfigurationDialogTest, AFailedSaveKeepsTheDialogOpenAndCancelStillUndoes) {
    target.mSaveError = "Parameter save failed: /x/Ostravelk.ini: Permission denied";
    bool openAfterOk = false;
    QString status;
    const bool result = Run([&](CSheet1& sheet, CPropertyGeneral& page) {
        EditValue(*page.Grid(), ItemOf(page, *target.mWorking, "Width"), "1024");
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
        openAfterOk = sheet.isVisible();
        status = sheet.StatusText();
        EXPECT_EQ(target.mDevice["Width"], "1024") << "OK applied the edit before saving";
        QTest::mouseClick(sheet.CancelButton(), Qt::LeftButton);
    });
    EXPECT_FALSE(result);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(status.toStdString(), target.mSaveError);
    EXPECT_EQ(As<Param<int64_t>>(*target.mWorking, "Width").mValue, 640);
    EXPECT_EQ(target.mDevice["Width"], "640");
    // The logging settings taken at OK are given back from the restored set.
    EXPECT_EQ(target.mCalls,
              (std::vector<std::string>{"SetConfiguring(1)", "StopGrabbing", "ApplyToCamera",
                                        "RefreshFromCamera", "ApplyDriverSettings", "Save",
                                        "ApplyAllToCamera", "RefreshFromCamera",
                                        "ApplyDriverSettings", "SetConfiguring(0)"}));
}

TEST_F(ConfigurationDialogTest, OkAgainAfterAFailedSaveSavesAndCloses) {
    target.mSaveError = "Parameter save failed";
    const bool result = Run([&](CSheet1& sheet, CPropertyGeneral&) {
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
        ASSERT_TRUE(sheet.isVisible());
        target.mSaveError.clear();
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(result);
    EXPECT_FALSE(target.mSaved.empty());
}

TEST_F(ConfigurationDialogTest, CancelRestartsOnlyAContinuousGrab) {
    target.mGrabbing = true;
    target.mContinuous = false;
    EXPECT_FALSE(Run([](CSheet1& sheet, CPropertyGeneral&) {
        QTest::mouseClick(sheet.CancelButton(), Qt::LeftButton);
    }));
    EXPECT_FALSE(target.mGrabbing);
}

TEST_F(ConfigurationDialogTest, PageThatCannotBeFilledEndsLikeCancel) {
    // A visible parameter of a class without an adapter.
    class Odd : public Param<int> {
      public:
        Odd() : Param<int>("Odd", "Odd", 1) {}
    };
    target.mWorking->AddParameter_(std::make_unique<Odd>());
    EXPECT_FALSE(RunConfigurationDialog(nullptr, target));
    EXPECT_TRUE(
        log.Contains("port2: ERR: DoModal std Exception: Unsupported parameter type, "
                     "CSheet1::DoModal"));
    EXPECT_EQ(target.mApplyAllPasses, std::vector<int>{5});
    EXPECT_FALSE(target.mConfiguring);
}

// --- Platform rules
// ---------------------------------------------------------------------------------

TEST_F(ConfigurationDialogTest, AnotherThreadGetsAnErrorAndTheCameraIsUntouched) {
    bool result = true;
    std::thread other([&] { result = RunConfigurationDialog(nullptr, target); });
    other.join();
    EXPECT_FALSE(result);
    EXPECT_TRUE(target.mCalls.empty());
    EXPECT_TRUE(
        log.Contains("port2: ERR: Configure: dialog must be opened on the thread of the "
                     "Qt application, Camera::Configure"));
}

TEST(ConfigurationDialogPlatform, NoDisplayGivesAnErrorInsteadOfAnAbort) {
    if (QCoreApplication::instance() != nullptr) {
        GTEST_SKIP() << "an application exists already in this process (run this test alone)";
    }
    const char* keys[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::vector<std::pair<std::string, std::string>> saved;
    for (const char* key : keys) {
        if (const char* value = std::getenv(key)) {
            saved.emplace_back(key, value);
        }
        unsetenv(key);
    }
    LogCapture log;
    FakeTarget target;
    EXPECT_FALSE(GuiApplication::HasDisplay());
    EXPECT_FALSE(RunConfigurationDialog(nullptr, target));
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_TRUE(target.mCalls.empty());
    EXPECT_TRUE(log.Contains("port2: ERR: Configure: no display"));
    for (const auto& [key, value] : saved) {
        setenv(key.c_str(), value.c_str(), 1);
    }
}

TEST(ConfigurationDialogPlatform, DriverCreatedApplicationKeepsTheHostLocale) {
    if (QCoreApplication::instance() != nullptr) {
        GTEST_SKIP() << "an application exists already in this process (run this test alone)";
    }
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NO_FATAL_FAILURE(RequireGui());
    EXPECT_TRUE(GuiApplication::CreatedByDriver());
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
    std::string error;
    EXPECT_TRUE(GuiApplication::Ensure(error)) << error;  // the same thread again
}

// --- Screenshots
// --------------------------------------------------------------------------------------

TEST_F(ConfigurationPageTest, ScreenshotsOfTheDialog) {
    AddLastFocused(*target.mWorking, "ExposureTimeAbs");
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::string dir = ScreenshotDir();
    Click(*grid, NamePoint(*grid, Item("ExposureTimeAbs")));
    ASSERT_TRUE(sheet->grab().save(QString::fromStdString(dir + "/configuration-initial.png")));

    Click(*grid, ValuePoint(*grid, Item("Width")));
    ASSERT_NE(grid->GetInPlaceEdit(), nullptr);
    QTest::keyClicks(grid->GetInPlaceEdit(), "0");
    ASSERT_TRUE(sheet->grab().save(QString::fromStdString(dir + "/configuration-edit.png")));
    QTest::keyClick(grid->GetInPlaceEdit(), Qt::Key_Escape);

    Click(*grid, ValuePoint(*grid, Item("PixelFormat")));
    ASSERT_NE(grid->GetCombo(), nullptr);
    QTest::keyClick(grid->GetCombo(), Qt::Key_Down);
    ASSERT_TRUE(sheet->grab().save(QString::fromStdString(dir + "/configuration-dropdown.png")));
    QTest::keyClick(grid->GetCombo(), Qt::Key_Escape);

    ASSERT_NO_FATAL_FAILURE(EditValue(*grid, Item("Width"), "5000"));
    ASSERT_FALSE(sheet->OkButton()->isEnabled());
    ASSERT_TRUE(sheet->grab().save(QString::fromStdString(dir + "/configuration-invalid.png")));
}

}  // namespace
