#include "dialog/CDynDialogItemEx.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTextEdit>
#include <QTreeWidget>
#include <utility>

#include "base/NoCaseLess.h"

namespace {

constexpr int kFirstCode = 128;
const char* const kClassNames[] = {"BUTTON",
                                   "EDIT",
                                   "STATIC",
                                   "LISTBOX",
                                   "SCROLLBAR",
                                   "COMBOBOX",
                                   "msctls_updown32",
                                   "msctls_progress32",
                                   "msctls_trackbar32",
                                   "msctls_hotkey32",
                                   "SysListView32",
                                   "SysTreeView32",
                                   "SysTabControl32",
                                   "SysAnimate32",
                                   "RICHEDIT",
                                   "SysDateTimePick32",
                                   "SysMonthCal32",
                                   "SysIPAddress32",
                                   "ComboBoxEx32"};
constexpr int kClassCount = static_cast<int>(sizeof kClassNames / sizeof kClassNames[0]);

// Style bits of the original controls that choose a Qt widget or its mode.
constexpr uint32_t kButtonTypeMask = 0xF;
constexpr uint32_t kDefPushButton = 1, kCheckBox = 2, kAutoCheckBox = 3, kRadioButton = 4,
                   kThreeState = 5, kAutoThreeState = 6, kGroupBox = 7, kAutoRadioButton = 9;
constexpr uint32_t kEditMultiLine = 0x4, kEditPassword = 0x20, kEditReadOnly = 0x800;
constexpr uint32_t kVertical = 0x1;       // SBS_VERT
constexpr uint32_t kTrackVertical = 0x2;  // TBS_VERT
constexpr uint32_t kComboTypeMask = 0x3, kComboDropDownList = 0x3;

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CDynDialogItemEx::CDynDialogItemEx(int classCode, std::string className, int id, uint32_t style,
                                   uint32_t exStyle, const QRect& rect, std::string caption,
                                   Data data, bool inTemplate)
    : mClassCode(classCode),
      mClassName(std::move(className)),
      mId(id),
      mStyle(style),
      mExStyle(exStyle),
      mRect(rect),
      mCaption(std::move(caption)),
      mData(data),
      mInTemplate(inTemplate) {}

int CDynDialogItemEx::ClassCodeFromName(const std::string& name) {
    for (int i = 0; i < kClassCount; ++i) {
        if (NoCaseLess::EqualNoCase(name, kClassNames[i])) {
            return kFirstCode + i;
        }
    }
    return 0;
}

std::string CDynDialogItemEx::ClassNameFromCode(int code) {
    return code >= kFirstCode && code < kFirstCode + kClassCount ? kClassNames[code - kFirstCode]
                                                                 : "";
}

QWidget* CDynDialogItemEx::CreateControl(QWidget* parent) {
    const QString caption = ToQt(mCaption);
    std::string* text =
        std::holds_alternative<std::string*>(mData) ? std::get<std::string*>(mData) : nullptr;
    bool* flag = std::holds_alternative<bool*>(mData) ? std::get<bool*>(mData) : nullptr;
    int* number = std::holds_alternative<int*>(mData) ? std::get<int*>(mData) : nullptr;
    const QString shown = text != nullptr ? ToQt(*text) : caption;
    QWidget* control = nullptr;
    switch (mClassCode) {
        case 128: {
            const uint32_t type = mStyle & kButtonTypeMask;
            if (type == kCheckBox || type == kAutoCheckBox || type == kThreeState ||
                type == kAutoThreeState) {
                auto* box = new QCheckBox(caption, parent);
                box->setTristate(type == kThreeState || type == kAutoThreeState);
                box->setChecked(flag != nullptr && *flag);
                control = box;
            } else if (type == kRadioButton || type == kAutoRadioButton) {
                auto* radio = new QRadioButton(caption, parent);
                radio->setChecked(flag != nullptr && *flag);
                control = radio;
            } else if (type == kGroupBox) {
                control = new QGroupBox(caption, parent);
            } else {
                auto* button = new QPushButton(caption, parent);
                button->setDefault(type == kDefPushButton);
                button->setAutoDefault(false);
                control = button;
            }
            break;
        }
        case 129:
        case 145:
            if ((mStyle & kEditMultiLine) != 0 && mClassCode == 129) {
                auto* edit = new QPlainTextEdit(shown, parent);
                edit->setReadOnly((mStyle & kEditReadOnly) != 0);
                control = edit;
            } else {
                auto* edit = new QLineEdit(shown, parent);
                edit->setReadOnly((mStyle & kEditReadOnly) != 0);
                if ((mStyle & kEditPassword) != 0) {
                    edit->setEchoMode(QLineEdit::Password);
                }
                if (mClassCode == 145) {
                    edit->setInputMask(QStringLiteral("000.000.000.000;_"));
                }
                control = edit;
            }
            break;
        case 130:
        case 141:
            control = new QLabel(shown, parent);
            break;
        case 131: {
            auto* list = new QListWidget(parent);
            control = list;
            break;
        }
        case 132: {
            control =
                new QScrollBar((mStyle & kVertical) != 0 ? Qt::Vertical : Qt::Horizontal, parent);
            break;
        }
        case 133:
        case 146: {
            auto* combo = new QComboBox(parent);
            combo->setEditable((mStyle & kComboTypeMask) != kComboDropDownList &&
                               (mStyle & kComboTypeMask) != 0);
            control = combo;
            break;
        }
        case 134:
            control = new QSpinBox(parent);
            break;
        case 135:
            control = new QProgressBar(parent);
            break;
        case 136:
            control =
                new QSlider((mStyle & kTrackVertical) != 0 ? Qt::Vertical : Qt::Horizontal, parent);
            break;
        case 137:
            control = new QKeySequenceEdit(parent);
            break;
        case 138:
        case 139:
            control = new QTreeWidget(parent);
            break;
        case 140:
            control = new QTabBar(parent);
            break;
        case 142:
            control = new QTextEdit(shown, parent);
            break;
        case 143:
            control = new QDateTimeEdit(parent);
            break;
        case 144:
            control = new QCalendarWidget(parent);
            break;
        default:
            return nullptr;
    }
    if (number != nullptr) {
        if (auto* list = qobject_cast<QListWidget*>(control)) {
            list->setCurrentRow(*number);
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            combo->setCurrentIndex(*number);
        } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
            slider->setValue(*number);
        } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
            spin->setValue(*number);
        } else if (auto* progress = qobject_cast<QProgressBar*>(control)) {
            progress->setValue(*number);
        }
    }
    control->setObjectName(QString::number(mId));
    control->setEnabled((mStyle & kDisabled) == 0);
    if ((mStyle & kTabStop) == 0 && control->focusPolicy() != Qt::NoFocus) {
        control->setFocusPolicy(Qt::ClickFocus);
    }
    control->setVisible((mStyle & kVisible) != 0);
    mControl = control;
    return control;
}

void CDynDialogItemEx::SaveData() const {
    QWidget* control = mControl.data();
    if (control == nullptr) {
        return;
    }
    if (auto* const* text = std::get_if<std::string*>(&mData); text != nullptr && *text) {
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            **text = edit->text().toStdString();
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
            **text = plain->toPlainText().toStdString();
        } else if (auto* rich = qobject_cast<QTextEdit*>(control)) {
            **text = rich->toPlainText().toStdString();
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            **text = combo->currentText().toStdString();
        }
    } else if (auto* const* flag = std::get_if<bool*>(&mData); flag != nullptr && *flag) {
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            **flag = button->isChecked();
        }
    } else if (auto* const* number = std::get_if<int*>(&mData); number != nullptr && *number) {
        if (auto* list = qobject_cast<QListWidget*>(control)) {
            **number = list->currentRow();
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            **number = combo->currentIndex();
        } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
            **number = slider->value();
        } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
            **number = spin->value();
        } else if (auto* progress = qobject_cast<QProgressBar*>(control)) {
            **number = progress->value();
        }
    }
}
