#pragma once

// A hex dump of what a connection received (ReceivedHistory.h), in place of a terminal's text.
//
// The view draws only the rows it shows, read from the history as it paints, so a megabyte of
// history costs it nothing until scrolled to. Refresh takes in what arrived since: while the
// view shows the last row it follows the end, as the terminal's text does; scrolled back, it
// stays on the same bytes until they are pushed out of the history. Keys that type a character
// go to the key receiver (the terminal, which sends them to the port); the others scroll.
// User-interface thread only.

#include <QAbstractScrollArea>
#include <cstdint>
#include <string>
#include <vector>

namespace drel {

class ReceivedHistory;

class HexView : public QAbstractScrollArea {
  public:
    explicit HexView(QWidget* parent = nullptr);

    // The bytes to show (null: none) and where typed keys go (null: nowhere); both outlive the
    // view or are replaced first.
    void SetSource(const ReceivedHistory* history);
    void SetKeyReceiver(QWidget* receiver);

    // Takes in the bytes that arrived since the last refresh and repaints if there are any.
    void Refresh();

    // Scrolls to the last row, from where the view follows the end.
    void ShowEnd();

    // The rows the view shows now, top to bottom, as it draws them.
    std::vector<std::string> RowsShown() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int RowHeight() const;
    int RowsThatFit() const;
    // Sets the scroll bars for the rows kept now; the shown rows stay, or follow the end.
    void UpdateRange();

    const ReceivedHistory* m_pHistory = nullptr;
    QWidget* m_pKeyReceiver = nullptr;
    uint64_t m_firstRow = 0;  // the first row kept; the scroll bar counts from it
    uint64_t m_shownEnd = 0;  // the bytes received when last painted
};

}  // namespace drel
