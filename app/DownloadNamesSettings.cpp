#include "app/DownloadNamesSettings.h"

#include <QSettings>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "app/DownloadNames.h"
#include "framework/CWinApp.h"

namespace drel {

namespace {

constexpr char kGroup[] = "Settings";
constexpr const char* kValueNames[] = {"FirstFileName", "SecondFileName"};  // by name index

// The name a stored value holds, or nothing when it holds no text.
std::optional<std::string> StoredName(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList) {
        // In the file's syntax an unquoted comma makes a list of a hand-written value; the
        // pieces put back together are the name (spaces after a comma are lost).
        return value.toStringList().join(',').toLocal8Bit().toStdString();
    }
    if (!value.isValid() || !value.canConvert<QString>()) {
        return std::nullopt;
    }
    return value.toString().toLocal8Bit().toStdString();
}

}  // namespace

bool LoadDownloadNames(const CWinApp& app, DownloadNames& names) {
    const std::unique_ptr<QSettings> store = app.OpenSettings();
    store->beginGroup(kGroup);
    for (int index = 0; index < 2; ++index) {
        if (std::optional<std::string> name = StoredName(store->value(kValueNames[index]))) {
            names.SetDownloadName(index, std::move(*name));
        }
    }
    return store->status() == QSettings::NoError;
}

bool SaveDownloadNames(const CWinApp& app, const DownloadNames& names) {
    const std::unique_ptr<QSettings> store = app.OpenSettings();
    store->beginGroup(kGroup);
    for (int index = 0; index < 2; ++index) {
        const std::string name = names.GetDownloadName(index);
        if (name.empty()) {
            store->remove(kValueNames[index]);
        } else {
            store->setValue(kValueNames[index], QString::fromLocal8Bit(name));
        }
    }
    store->endGroup();
    store->sync();
    // QSettings keeps the first fault it met, so a write that fails after a malformed file was
    // read still reads as a format error.
    return store->status() != QSettings::AccessError;
}

}  // namespace drel
