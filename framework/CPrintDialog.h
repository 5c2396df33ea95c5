#pragma once

// The print dialog, and the same dialog as Print Setup (choosing the printer and its options
// without printing). The choice is made on the printer given, which keeps it for later jobs.
// Tests replace the dialog through SetHook. User-interface thread.

#include <functional>

class QPrinter;
class QWidget;

namespace drel {

class CPrintDialog {
  public:
    // A dialog on `printer`, which must outlive it.
    CPrintDialog(bool printSetupOnly, QPrinter& printer, QWidget* parent = nullptr);

    // Runs the dialog: IDOK when the user confirmed (the printer then holds the choice),
    // IDCANCEL otherwise.
    int DoModal();

    bool IsPrintSetupOnly() const { return m_bSetupOnly; }
    QPrinter& GetPrinter() const { return m_printer; }

    // Replaces every print dialog by `hook`, which returns the result DoModal gives; an empty
    // hook shows real dialogs again. For tests.
    static void SetHook(std::function<int(CPrintDialog&)> hook);

  private:
    bool m_bSetupOnly;
    QPrinter& m_printer;
    QWidget* m_pParent;
};

}  // namespace drel
