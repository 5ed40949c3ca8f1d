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
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(folder));
    }

    static void Store(const char* key, const QVariant& value) {
        QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
        store.setValue(QStringLiteral("Setup/") + QString::fromLatin1(key), value);
    }

    TempDir dir_;
};

TEST_F(SettingsStore, DefaultsAndMissingValues) {
    CSettings settings;
    EXPECT_EQ(CSettings::language, 1);
    EXPECT_EQ(CSettings::toolTips, 1);
    EXPECT_FALSE(settings.Load()); // nothing stored: first start
    EXPECT_EQ(CSettings::language, 1);
    EXPECT_EQ(CSettings::toolTips, 1);
}

TEST_F(SettingsStore, OnlyLanguagesOneToThreeAreAccepted) {
    for (int bad : {0, 4, -1, 9999}) {
        Store("Language", bad);
        CSettings settings;
        EXPECT_FALSE(settings.Load()) << bad;
        EXPECT_EQ(CSettings::language, 1) << bad;
    }
    for (int good : {1, 2, 3}) {
        Store("Language", good);
        CSettings settings;
        EXPECT_TRUE(settings.Load()) << good;
        EXPECT_EQ(CSettings::language, good);
    }
}

TEST_F(SettingsStore, OnlyZeroSwitchesToolTipsOff) {
    Store("Language", 2);
    Store("Tool Tips", 2);
    {
        CSettings settings;
        EXPECT_TRUE(settings.Load());
        EXPECT_EQ(CSettings::toolTips, 1);
    }
    Store("Tool Tips", 0);
    {
        CSettings settings;
        EXPECT_TRUE(settings.Load());
        EXPECT_EQ(CSettings::toolTips, 0);
    }
}

TEST_F(SettingsStore, MissingLanguageStillReadsToolTips) {
    Store("Tool Tips", 0);
    CSettings settings;
    EXPECT_FALSE(settings.Load());
    EXPECT_EQ(CSettings::toolTips, 0);
}

TEST_F(SettingsStore, SaveWritesTheValuesAtExit) {
    ScriptedMessageBoxes boxes;
    {
        CSettings settings;
        settings.Load();
        CSettings::language = 3; // changed in the setup dialog during the run
        CSettings::toolTips = 5;
        settings.Save();
    }
    EXPECT_TRUE(boxes.shown.empty());
    QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
    EXPECT_EQ(store.value(QStringLiteral("Setup/Language")).toInt(), 3);
    EXPECT_EQ(store.value(QStringLiteral("Setup/Tool Tips")).toInt(), 1);

    CSettings again;
    EXPECT_TRUE(again.Load());
    EXPECT_EQ(CSettings::language, 3);
    EXPECT_EQ(CSettings::toolTips, 1);
}

TEST_F(SettingsStore, FailedWriteIsReported) {
    // A plain file where the store's folder should be makes every write fail.
    const std::string blocker = dir_.File("blocked");
    std::ofstream(blocker) << "not a folder";
    PointStoreAt(blocker);
    ScriptedMessageBoxes boxes;
    CSettings settings;
    settings.Save();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "FATAL ERROR\r\nWriting into registry");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
}

} // namespace
