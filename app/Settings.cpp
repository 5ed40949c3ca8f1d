#include "app/Settings.h"

#include "app/MessageBoxService.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace {

constexpr std::int32_t kMissing = 9999;

// Reads a 32-bit value the way the registry profile did: a missing value, or
// one that is not a number, gives the default.
std::int32_t ReadInt(QSettings& store, const char* key) {
    bool ok = false;
    const qlonglong value = store.value(QString::fromLatin1(key)).toLongLong(&ok);
    if (!ok || value < INT32_MIN || value > INT32_MAX) {
        return kMissing;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

CSettings::CSettings() {
    language = 1;
    toolTips = 1;
}

bool CSettings::Load() {
    QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
    store.beginGroup(QStringLiteral("Setup"));
    bool loaded = false;
    const std::int32_t storedLanguage = ReadInt(store, "Language");
    if (storedLanguage > 0 && storedLanguage < 4) {
        language = storedLanguage;
        loaded = true;
    }
    if (ReadInt(store, "Tool Tips") == 0) {
        toolTips = 0;
    }
    store.endGroup();
    return loaded;
}

void CSettings::Save() {
    QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
    store.beginGroup(QStringLiteral("Setup"));
    store.setValue(QStringLiteral("Language"), language);
    store.setValue(QStringLiteral("Tool Tips"), toolTips != 0 ? 1 : 0);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError || !store.isWritable()) {
        ShowMessage("FATAL ERROR\r\nWriting into registry", MessageIcon::Stop);
    }
}
