#include "app/MainWindowSettings.h"

#include <QSettings>
#include <QWidget>
#include <memory>

#include "framework/CMDIFrameWnd.h"
#include "framework/CWinApp.h"
#include "framework/StandardIds.h"

namespace drel {

namespace {

constexpr char kGroup[] = "MainWindow";
constexpr char kGeometry[] = "Geometry";

struct BarValue {
    int id;
    const char* name;
};

constexpr BarValue kBars[] = {{AFX_IDW_TOOLBAR, "ToolBar"}, {AFX_IDW_STATUS_BAR, "StatusBar"}};

}  // namespace

bool RestoreMainWindow(const CWinApp& app, CMDIFrameWnd& frame) {
    const std::unique_ptr<QSettings> store = app.OpenSettings();
    store->beginGroup(kGroup);
    for (const BarValue& bar : kBars) {
        if (QWidget* widget = frame.GetControlBar(bar.id)) {
            frame.ShowControlBar(widget, store->value(bar.name, true).toBool());
        }
    }
    const QVariant geometry = store->value(kGeometry);
    if (geometry.typeId() == QMetaType::QByteArray) {
        const QByteArray record = geometry.toByteArray();
        // restoreGeometry checks the record's head and keeps the window on a screen, but reads
        // past the end of a cut record without noticing; every record it writes has the same
        // length.
        return record.size() == frame.saveGeometry().size() && frame.restoreGeometry(record);
    }
    return false;
}

bool SaveMainWindow(const CWinApp& app, const CMDIFrameWnd& frame) {
    const std::unique_ptr<QSettings> store = app.OpenSettings();
    store->beginGroup(kGroup);
    store->setValue(kGeometry, frame.saveGeometry());
    for (const BarValue& bar : kBars) {
        if (const QWidget* widget = frame.GetControlBar(bar.id)) {
            store->setValue(bar.name, !widget->isHidden());
        }
    }
    store->endGroup();
    store->sync();
    return store->status() != QSettings::AccessError;
}

}  // namespace drel
