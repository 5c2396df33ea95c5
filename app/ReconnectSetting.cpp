#include "app/ReconnectSetting.h"

#include <QSettings>
#include <memory>

#include "framework/CWinApp.h"

namespace drel {

namespace {

constexpr char kKey[] = "Settings/ReconnectAutomatically";

}  // namespace

bool LoadReconnectSetting(const CWinApp& app) {
    const std::unique_ptr<QSettings> store = app.OpenSettings();
    return store->value(kKey, false).toBool();
}

bool SaveReconnectSetting(const CWinApp& app, bool on) {
    const std::unique_ptr<QSettings> store = app.OpenSettings();
    store->setValue(kKey, on);
    store->sync();
    return store->status() != QSettings::AccessError;
}

}  // namespace drel
