// The dynamic dialog: class codes, automatic placement, the system buttons, results, data
// exchange, command forwarding and controls of unknown classes.

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "dialog/CDynDialogEx.h"

namespace {

// Records error reports instead of showing message boxes.
class TestDialog : public CDynDialogEx {
  public:
    using CDynDialogEx::CDynDialogEx;
    std::vector<std::string> errors;

  protected:
    void ShowError(const QString& text) override { errors.push_back(text.toStdString()); }
};

class CDynDialogExTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(RequireGui()); }

    // Runs DoModal with actions inside the modal loop.
    static int Run(CDynDialogEx& dialog, std::function<void(CDynDialogEx&)> actions) {
        QTimer::singleShot(0, [&dialog, actions] {
            actions(dialog);
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the actions left the dialog open";
                dialog.reject();
            }
        });
        return dialog.DoModal();
    }

    static QPushButton* Button(CDynDialogEx& dialog, int id) {
        return qobject_cast<QPushButton*>(dialog.Control(id));
    }
};

TEST(CDynDialogItemExTable, ClassNamesAndCodes) {
    EXPECT_EQ(CDynDialogItemEx::ClassCodeFromName("BUTTON"), 128);
    EXPECT_EQ(CDynDialogItemEx::ClassCodeFromName("edit"), 129);
    EXPECT_EQ(CDynDialogItemEx::ClassCodeFromName("msctls_trackbar32"), 136);
    EXPECT_EQ(CDynDialogItemEx::ClassCodeFromName("ComboBoxEx32"), 146);
    EXPECT_EQ(CDynDialogItemEx::ClassCodeFromName("MyOwnClass"), 0);
    EXPECT_EQ(CDynDialogItemEx::ClassNameFromCode(130), "STATIC");
    EXPECT_EQ(CDynDialogItemEx::ClassNameFromCode(145), "SysIPAddress32");
    EXPECT_EQ(CDynDialogItemEx::ClassNameFromCode(127), "");
    EXPECT_EQ(CDynDialogItemEx::ClassNameFromCode(147), "");
}

TEST_F(CDynDialogExTest, ControlsWithoutRectanglesStackAndGrowTheDialog) {
    TestDialog dialog;
    const uint32_t visible = CDynDialogItemEx::kVisible;
    EXPECT_EQ(dialog.AddDlgControl(130, "label", visible, 0, std::nullopt, {}, 300), 300);
    const int byName = dialog.AddDlgControl("EDIT", "", visible);
    const int takenOver = dialog.AddSubclassedDlgControl("STATIC", "late", visible);
    EXPECT_GE(byName, 5000);  // id 0: from the process-wide counter
    EXPECT_EQ(takenOver, byName + 1);
    const auto& items = dialog.Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->mRect, QRect(QPoint(10, 10), QPoint(119, 21)));  // 10,10 .. 120,22
    EXPECT_EQ(items[1]->mRect, QRect(QPoint(10, 22), QPoint(269, 33)));  // by name: to x 270
    EXPECT_EQ(items[2]->mRect.right(), 269);
    EXPECT_FALSE(items[2]->mInTemplate);
    EXPECT_EQ(dialog.NextY(), 46);
    EXPECT_EQ(dialog.DialogRect(), QRect(0, 0, 275, 51));  // + 5 at the right and bottom
    dialog.AddDlgControl(128, "far", visible, 0, QRect(300, 100, 40, 14));
    EXPECT_EQ(dialog.NextY(), 58);  // also with a rectangle
    EXPECT_EQ(dialog.DialogRect(), QRect(0, 0, 345, 119));
}

TEST_F(CDynDialogExTest, OkStoresValuesAndAnnulerenCancels) {
    std::string name = "initial";
    bool enabled = false;
    TestDialog dialog;
    dialog.SetTitle("Dynamic");
    const uint32_t style = CDynDialogItemEx::kVisible | CDynDialogItemEx::kTabStop;
    const int edit = dialog.AddDlgControl(129, "", style, 0, std::nullopt, &name);
    const int check = dialog.AddDlgControl(128, "Enabled", style | 3, 0, std::nullopt, &enabled);
    const int result = Run(dialog, [&](CDynDialogEx& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "Dynamic");
        auto* line = qobject_cast<QLineEdit*>(d.Control(edit));
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->text().toStdString(), "initial");
        line->setText("typed");
        qobject_cast<QCheckBox*>(d.Control(check))->setChecked(true);
        // The system buttons: "OK" and "Annuleren", 6 units below the last control.
        const auto& items = d.Items();
        EXPECT_EQ(items[2]->mCaption, "OK");
        EXPECT_EQ(items[2]->mRect, QRect(10, 40, 50, 14));
        EXPECT_EQ(items[3]->mCaption, "Annuleren");
        EXPECT_EQ(items[3]->mRect, QRect(65, 40, 50, 14));
        QTest::mouseClick(Button(d, CDynDialogEx::kIdOk), Qt::LeftButton);
    });
    EXPECT_EQ(result, CDynDialogEx::kIdOk);
    EXPECT_EQ(name, "typed");
    EXPECT_TRUE(enabled);

    // Again: the system buttons are not added twice; cancel keeps the variables.
    const size_t count = dialog.Items().size();
    const int cancelled = Run(dialog, [](CDynDialogEx& d) {
        qobject_cast<QLineEdit*>(d.Items()[0]->Control())->setText("dropped");
        QTest::mouseClick(Button(d, CDynDialogEx::kIdCancel), Qt::LeftButton);
    });
    EXPECT_EQ(cancelled, CDynDialogEx::kIdCancel);
    EXPECT_EQ(dialog.Items().size(), count);
    EXPECT_EQ(name, "typed");
    EXPECT_EQ(Run(dialog, [](CDynDialogEx& d) { QTest::keyClick(&d, Qt::Key_Escape); }),
              CDynDialogEx::kIdCancel);
}

TEST_F(CDynDialogExTest, OtherButtonsAreForwardedAndUnknownClassesReported) {
    TestDialog dialog;
    const uint32_t style = CDynDialogItemEx::kVisible | CDynDialogItemEx::kTabStop;
    dialog.AddDlgControl("NoSuchClass", "x", style);
    dialog.AddDlgControl(128, "Apply", style, 0, std::nullopt, {}, 1234);
    std::vector<int> commands;
    QObject::connect(&dialog, &CDynDialogEx::command, [&](int id) { commands.push_back(id); });
    const int result = Run(dialog, [](CDynDialogEx& d) {
        QTest::mouseClick(Button(d, 1234), Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    EXPECT_EQ(result, CDynDialogEx::kIdCancel);
    EXPECT_EQ(commands, std::vector<int>{1234});
    EXPECT_EQ(dialog.errors, std::vector<std::string>{"Failed to create DlgItem."});
}

TEST_F(CDynDialogExTest, DialogThatDoesNotFitItsTemplateFails) {
    TestDialog dialog;
    dialog.AddDlgControl(130, "huge", CDynDialogItemEx::kVisible, 0, QRect(40000, 0, 10, 10));
    EXPECT_EQ(dialog.DoModal(), CDynDialogEx::kFailed);
}

}  // namespace
