#pragma once

#include <QFont>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

// The drop-down list the property grid shows under a bool or list row: a bordered list of
// entries, one per row of the font's height + 4 pixels (the whole list 2 pixels taller).
//
// Mouse: pressing highlights the row under the pointer, moving with the button held moves the
// highlight, releasing over a row chooses it (released outside the rows: closes without
// choosing). Keys: Enter chooses the highlighted row (nothing highlighted: closes without
// choosing), Escape closes without choosing, Up/Left and Down/Right move the highlight one row,
// staying within the list. Losing the focus closes without choosing. Exactly one of chosen() and
// closed() is emitted; the grid then destroys the list.
//
// The list is a child of the grid's top-level window, laid over the widgets below the row, so it
// may extend past the grid but not past that window.
//
// Threading: GUI thread only.
class CPropertyGridCombo : public QWidget {
    Q_OBJECT

  public:
    // highlighted: the initially highlighted row, -1 for none. grid gets the focus back after a
    // choice or Escape.
    CPropertyGridCombo(QWidget* parent, QWidget* grid, const QFont& font,
                       std::vector<std::string> entries, int highlighted);
    ~CPropertyGridCombo() override;

    // Height of one row; the list is RowHeight() * entries + 2 pixels high.
    int RowHeight() const;
    int Highlighted() const { return mHighlighted; }
    const std::vector<std::string>& Entries() const { return mEntries; }
    bool IsDone() const { return mDone; }
    // Closes without choosing unless a choice was made already.
    void Cancel();

  signals:
    void chosen(int index);
    void closed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // The row under a y coordinate, -1 outside the rows.
    int RowAt(int y) const;
    void Choose(int index);
    void SetHighlighted(int row);

    QPointer<QWidget> mGrid;
    std::vector<std::string> mEntries;
    int mHighlighted;
    bool mDone = false;
    bool mPressed = false;
};
