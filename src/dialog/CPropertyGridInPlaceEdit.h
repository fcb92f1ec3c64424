#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QString>

// The one-line edit box the property grid lays over a value cell while the user types a text,
// integer or double value.
//
// Enter or Tab, and Page Up, Page Down or an arrow key pressed with Ctrl, give the keyboard focus
// back to the grid, which commits; without Ctrl those keys move the caret. Escape puts the initial
// text back and commits that. Losing the focus in any other way commits too. Alt characters are
// swallowed. Committing emits committed() exactly once, whatever ends the box; the grid then
// destroys it. The box has no frame and no context menu (a menu would take the focus away).
//
// Threading: GUI thread only.
class CPropertyGridInPlaceEdit : public QLineEdit {
    Q_OBJECT

  public:
    // grid gets the focus back; initialText is shown with the caret at its end.
    CPropertyGridInPlaceEdit(QWidget* parent, QWidget* grid, const QString& initialText);
    ~CPropertyGridInPlaceEdit() override;

    const QString& InitialText() const { return mInitialText; }
    // Whether committed() was emitted already.
    bool IsDone() const { return mDone; }
    // Emits committed() with the current text unless that happened already.
    void Commit();

  signals:
    // The user finished typing.
    void committed(const QString& text);

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // Gives the focus to the grid and commits.
    void ReturnToGrid();

    QPointer<QWidget> mGrid;
    QString mInitialText;
    bool mDone = false;
};
