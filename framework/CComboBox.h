#pragma once

// A combo box of a dialog: a list of strings and, for CBS_DROPDOWN, an edit field that takes
// any text. Adding strings leaves the edit field and the selection alone, so a text loaded into
// the field before the list is filled stays as it was.

#include <QComboBox>

class QKeyEvent;
#include <cstdint>
#include <string>

namespace drel {

class CComboBox : public QComboBox {
    Q_OBJECT

  public:
    // `style` holds the template's CBS_* bits. User-interface thread only, as every member.
    explicit CComboBox(uint32_t style, QWidget* parent = nullptr);

    // Adds `text` (system code page) at the end of the list and returns its index; a
    // `description`, when given, shows beside it in the list and is not part of what picking
    // the entry puts into the field. Never fails.
    int AddString(const std::string& text, const std::string& description = {});

    // The description of entry `index`; empty when it has none.
    std::string GetDescription(int index) const;

    // Selects the first entry that begins with `prefix`, ignoring case, and shows it in the
    // edit field. Returns its index, or -1 with nothing changed when no entry matches or
    // `prefix` is empty.
    int SelectString(const std::string& prefix);

    // The text of the edit field (of the selected entry without one), in the system code page.
    std::string GetWindowText() const;

    // Puts `text` into the edit field; the selection is cleared. No effect without an edit field.
    void SetWindowText(const std::string& text);

  protected:
    // Up and Down step from the entry the edit field names, when it names one and none is
    // selected: from a typed "115200", Down reaches the entry after it, not "115200" itself.
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace drel
