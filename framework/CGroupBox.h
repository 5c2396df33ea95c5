#pragma once

// A group box of a dialog: a frame with its title set into the top line, drawn behind the
// controls it frames. The controls are its siblings, not its children, as the dialog template
// places every control on the dialog itself.

#include <QGroupBox>

namespace drel {

class CGroupBox : public QGroupBox {
    Q_OBJECT

  public:
    // User-interface thread only.
    explicit CGroupBox(const QString& title, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace drel
