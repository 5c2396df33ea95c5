#pragma once

// A modal dialog built from a dialog template.
//
// DoModal creates the controls, lets OnInitDialog fill them, runs the dialog until EndDialog
// and destroys the controls again, so every run starts from a fresh set; the controls exist
// (GetDlgItem) only while DoModal runs. Values move between members and controls only through
// data exchange: a subclass lists its members in DoDataExchange, and UpdateData runs it.
//
// The OK button (IDOK) runs OnOK, the Cancel button (IDCANCEL), Escape and the close box run
// OnCancel; Enter presses the default button. Tab visits the WS_TABSTOP controls in template
// order; the radio buttons of one template group are exclusive, and the arrow keys move within
// a group. Everything here runs on the user-interface thread.

#include <QDialog>
#include <optional>
#include <vector>

#include "framework/DialogStyles.h"
#include "framework/DialogTemplate.h"

class QAbstractButton;
class QButtonGroup;

namespace drel {

class CDataExchange;

class CDialog : public QDialog {
    Q_OBJECT

  public:
    // A dialog described by `dlgTemplate`, which must outlive it. With no `parent` the dialog
    // is modal to the whole application.
    explicit CDialog(const DialogTemplate& dlgTemplate, QWidget* parent = nullptr);

    // Shows the dialog and returns once it has ended: the value given to EndDialog (IDOK from
    // OnOK, IDCANCEL from OnCancel), or IDCANCEL when the window was closed some other way;
    // -1 at once when the dialog is already running.
    int DoModal();

    // Runs DoDataExchange: controls to members when `saveAndValidate`, else members to
    // controls. Returns false when the exchange failed, which leaves the members it had not
    // reached yet untouched; always false while the dialog is not running.
    bool UpdateData(bool saveAndValidate = true);

    // Ends the running dialog; DoModal returns `result`. Called from OnInitDialog, the dialog
    // ends as soon as it returns, without being shown.
    void EndDialog(int result);

    // The first control with `id` in template order, or nullptr (also when not running).
    QWidget* GetDlgItem(int id) const;

    // The radio buttons of the group whose first button is `firstId`, in template order; empty
    // when `firstId` is no radio button starting a group (WS_GROUP) or the dialog is not running.
    std::vector<QAbstractButton*> RadioGroup(int firstId) const;

  protected:
    // Lists the data exchanges of the dialog's members (DDX_ calls). The base has none.
    virtual void DoDataExchange(CDataExchange* pDX);

    // Called once the controls exist, before the dialog is shown. The base loads the members
    // into the controls. Returning true gives the focus to the first tab stop.
    virtual bool OnInitDialog();

    // The OK button and Enter. The base saves the controls into the members and, when that
    // succeeded, ends the dialog with IDOK; otherwise the dialog stays open.
    virtual void OnOK();

    // Cancel, Escape and the close box. The base ends the dialog with IDCANCEL without any
    // data exchange.
    virtual void OnCancel();

    // QDialog's own ways of ending lead to OnOK and OnCancel.
    void accept() override;
    void reject() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Control {
        const DialogControl* item;
        QWidget* widget;
    };

    void ApplyWindowStyle();
    void CreateControls();
    QWidget* CreateControl(const DialogControl& item, QButtonGroup*& radioGroup);
    void PlaceControl(const DialogControl& item, QWidget* widget) const;
    void DestroyControls();
    void RestoreFocusPolicies();
    void FocusFirstTabStop();
    bool MoveWithinGroup(QAbstractButton* button, int step);
    QRect MapDialogRect(int x, int y, int cx, int cy) const;

    const DialogTemplate& m_template;
    std::vector<Control> m_controls;
    std::vector<QButtonGroup*> m_radioGroups;
    QSize m_baseUnits;
    bool m_running = false;
    std::optional<int> m_endResult;
};

}  // namespace drel
