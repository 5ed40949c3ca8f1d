#include "app/Settings.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>

#include <fstream>

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { PointStoreAt(dir_.Path().string()); }

    static void PointStoreAt(const std::string& folder) {
        const QString path = QString::fromStdString(folder);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    }
    static void Store(const char* key, const QVariant& value) {
        QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
        store.setValue(QStringLiteral("Setup/") + QString::fromLatin1(key), value);
    }
    // Loads into fresh values; the result of Load.
    static bool Load() {
        CSettings::language = 7;
        CSettings::toolTips = 7;
        CSettings settings;
        return settings.Load();
    }

    TempDir dir_;
};

TEST_F(SettingsStore, OnlyLanguagesOneToThreeAreAcceptedOnlyZeroSwitchesToolTipsOff) {
    EXPECT_FALSE(Load()); // nothing stored: first start
    EXPECT_EQ(CSettings::language, 1);
    EXPECT_EQ(CSettings::toolTips, 1);
    Store("Tool Tips", 0); // taken even without a language
    EXPECT_FALSE(Load());
    EXPECT_EQ(CSettings::toolTips, 0);
    for (int bad : {0, 4, -1}) {
        Store("Language", bad);
        EXPECT_FALSE(Load()) << bad;
        EXPECT_EQ(CSettings::language, 1) << bad;
        EXPECT_EQ(CSettings::toolTips, 0) << bad;
    }
    Store("Language", 3);
    Store("Tool Tips", 2);
    EXPECT_TRUE(Load());
    EXPECT_EQ(CSettings::language, 3);
    EXPECT_EQ(CSettings::toolTips, 1);
}

TEST_F(SettingsStore, SaveWritesTheValuesAndAFailedWriteIsReported) {
    ScriptedMessageBoxes boxes;
    CSettings settings;
    CSettings::language = 3; // changed in the setup dialog during the run
    CSettings::toolTips = 5;
    settings.Save();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(Load());
    EXPECT_EQ(CSettings::language, 3);
    EXPECT_EQ(CSettings::toolTips, 1);

    // A plain file where the store's folder should be makes every write fail.
    const std::string blocker = dir_.File("blocked");
    std::ofstream(blocker) << "not a folder";
    PointStoreAt(blocker);
    settings.Save();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "FATAL ERROR\r\nWriting into registry");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Stop);
}

} // namespace
