// The compressor chooser: what it offers for an input, which settings it
// enables, and the round trip of a choice into the main window's compressor
// records and name.
#include "codec/CompressorTable.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/CodecChooserDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <cstring>

namespace {

constexpr std::uint32_t Fourcc(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

constexpr std::uint32_t kMjpg = Fourcc("MJPG");

using Id = CCodecChooserDlg::ControlId;

class CodecChooser : public MainDlgTest {
protected:
    template <typename T> static T* Get(const CCodecChooserDlg& chooser, int id) {
        return qobject_cast<T*>(chooser.Control(id));
    }
    // Index of a compressor in the chooser's list, -1 when not offered.
    static int IndexOf(const CCodecChooserDlg& chooser, std::uint32_t fourcc) {
        const auto& offers = chooser.Offers();
        for (std::size_t i = 0; i < offers.size(); ++i) {
            if (offers[i].fourcc == fourcc) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    // Picks a compressor in the list as the user would.
    static void Pick(CCodecChooserDlg& chooser, std::uint32_t fourcc) {
        const int index = IndexOf(chooser, fourcc);
        ASSERT_GE(index, 0);
        Get<QComboBox>(chooser, Id::kIdCompressorList)->setCurrentIndex(index);
    }
    // Runs Codec with the chooser answered by answer.
    void Choose(CMainDlg& dlg, std::function<int(CCodecChooserDlg&)> answer) {
        modalAnswer = [answer = std::move(answer)](QDialog& dialog) {
            auto* chooser = dynamic_cast<CCodecChooserDlg*>(&dialog);
            return chooser != nullptr ? answer(*chooser) : int(QDialog::Rejected);
        };
        Button(dlg, 1014)->click();
        modalAnswer = nullptr;
    }
    static bool SameRecords(const COMPVARS& a, const COMPVARS& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
    static bool SameRecords(const ICINFO& a, const ICINFO& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};

TEST_F(CodecChooser, MjpegWithQualityRoundTrip) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 64, 48, 3));
    std::string title;
    QString first;
    Choose(dlg, [&](CCodecChooserDlg& chooser) {
        title = chooser.windowTitle().toStdString();
        first = Get<QComboBox>(chooser, Id::kIdCompressorList)->itemText(0);
        Pick(chooser, kMjpg);
        Get<QSlider>(chooser, Id::kIdQuality)->setValue(75);
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(modalDialogs, std::vector<std::string>{"CCodecChooserDlg"});
    EXPECT_EQ(title, "Select codec");
    EXPECT_EQ(first, QStringLiteral("no compression"));

    const COMPVARS& cv = dlg.CompressorSettings();
    EXPECT_EQ(cv.cbSize, 64);
    EXPECT_EQ(cv.dwFlags, ICMF_COMPVARS_VALID);
    EXPECT_EQ(cv.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(cv.fccHandler, kMjpg);
    EXPECT_EQ(cv.lQ, 7500);
    EXPECT_EQ(cv.lKey, 0);      // every MJPEG frame is a key frame
    EXPECT_EQ(cv.lDataRate, 0); // not asked for
    EXPECT_EQ(cv.hic, 0u);
    EXPECT_EQ(dlg.CompressorInfo().fccHandler, kMjpg);
    EXPECT_EQ(dlg.CompressorInfo().dwSize, 568u);
    EXPECT_EQ(dlg.CompressorName(), "Motion JPEG (libavcodec mjpeg)");
    EXPECT_EQ(Text(dlg, 1015), QStringLiteral("Motion JPEG (libavcodec mjpeg)"));
    EXPECT_TRUE(dlg.IsModified());

    // Opening again preselects the choice; Cancel changes no record.
    const COMPVARS settings = dlg.CompressorSettings();
    const ICINFO info = dlg.CompressorInfo();
    int selected = -1;
    int quality = -1;
    QString shown;
    bool keyEnabled = true;
    bool rateEnabled = false;
    Choose(dlg, [&](CCodecChooserDlg& chooser) {
        selected = Get<QComboBox>(chooser, Id::kIdCompressorList)->currentIndex();
        EXPECT_EQ(selected, IndexOf(chooser, kMjpg));
        quality = Get<QSlider>(chooser, Id::kIdQuality)->value();
        shown = Get<QLineEdit>(chooser, Id::kIdQualityValue)->text();
        keyEnabled = Get<QCheckBox>(chooser, Id::kIdKeyFrameBox)->isEnabled();
        rateEnabled = Get<QCheckBox>(chooser, Id::kIdDataRateBox)->isEnabled();
        Get<QSlider>(chooser, Id::kIdQuality)->setValue(20); // and then Cancel
        return int(QDialog::Rejected);
    });
    EXPECT_GT(selected, 0);
    EXPECT_EQ(quality, 75);
    EXPECT_EQ(shown, QStringLiteral("75"));
    EXPECT_FALSE(keyEnabled);
    EXPECT_TRUE(rateEnabled);
    EXPECT_TRUE(SameRecords(dlg.CompressorSettings(), settings));
    EXPECT_TRUE(SameRecords(dlg.CompressorInfo(), info));
    EXPECT_EQ(dlg.CompressorName(), "Motion JPEG (libavcodec mjpeg)");
}

TEST_F(CodecChooser, CancelStillMarksTheProjectModified) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 2));
    // Opening an input marks the project too: start from a clean title.
    dlg.UpdateTitle(false);
    const COMPVARS before = dlg.CompressorSettings();
    const ICINFO infoBefore = dlg.CompressorInfo();
    Choose(dlg, [](CCodecChooserDlg& chooser) {
        Pick(chooser, kMjpg);
        return int(QDialog::Rejected);
    });
    EXPECT_TRUE(SameRecords(dlg.CompressorSettings(), before));
    EXPECT_TRUE(SameRecords(dlg.CompressorInfo(), infoBefore));
    EXPECT_EQ(dlg.CompressorName(), "no compression");
    EXPECT_TRUE(dlg.IsModified());
    EXPECT_TRUE(dlg.windowTitle().endsWith(QStringLiteral("*]")));
}

TEST_F(CodecChooser, NoCompressionGivesTheCatalogueName) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 2));
    Choose(dlg, [](CCodecChooserDlg& chooser) {
        Pick(chooser, kMjpg);
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(dlg.CompressorSettings().fccHandler, kMjpg);

    TextCatalog().Init(1); // the name comes in the language of the moment
    CSettings::language = 1;
    Choose(dlg, [](CCodecChooserDlg& chooser) {
        EXPECT_EQ(Get<QComboBox>(chooser, Id::kIdCompressorList)->itemText(0),
                  QStringLiteral("keine Kompression"));
        EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Codec auswählen"));
        EXPECT_EQ(Get<QAbstractButton>(chooser, Id::kIdCancel)->text(),
                  QStringLiteral("Abbrechen"));
        Get<QComboBox>(chooser, Id::kIdCompressorList)->setCurrentIndex(0);
        return int(QDialog::Accepted);
    });
    const COMPVARS& cv = dlg.CompressorSettings();
    EXPECT_EQ(cv.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(cv.fccHandler, FOURCC_DIB);
    EXPECT_EQ(cv.dwFlags, ICMF_COMPVARS_VALID);
    EXPECT_EQ(dlg.CompressorInfo().fccHandler, 0u);
    EXPECT_EQ(dlg.CompressorName(), "keine Kompression");
    EXPECT_EQ(Text(dlg, 1015), QStringLiteral("keine Kompression"));

    // Reopening preselects "no compression" again, with nothing to set.
    Choose(dlg, [](CCodecChooserDlg& chooser) {
        EXPECT_EQ(chooser.Selected(), 0);
        EXPECT_FALSE(Get<QSlider>(chooser, Id::kIdQuality)->isEnabled());
        EXPECT_FALSE(Get<QCheckBox>(chooser, Id::kIdKeyFrameBox)->isEnabled());
        EXPECT_FALSE(Get<QCheckBox>(chooser, Id::kIdDataRateBox)->isEnabled());
        return int(QDialog::Rejected);
    });
}

TEST_F(CodecChooser, SettingsAreEnabledByWhatTheCompressorHonours) {
    BITMAPINFOHEADER input{};
    input.biSize = 40;
    input.biWidth = 64;
    input.biHeight = 48;
    input.biPlanes = 1;
    input.biBitCount = 24;
    CCodecChooserDlg chooser(&input, kmx::MakeEmptyCompVars());
    ASSERT_GE(chooser.Offers().size(), 2u);
    EXPECT_EQ(chooser.Offers()[0].fourcc, FOURCC_DIB);
    EXPECT_EQ(chooser.Selected(), 0); // no choice before
    for (std::size_t i = 0; i < chooser.Offers().size(); ++i) {
        const CCodecChooserDlg::Offer& offer = chooser.Offers()[i];
        Get<QComboBox>(chooser, Id::kIdCompressorList)->setCurrentIndex(static_cast<int>(i));
        const kmx::CompressorEntry* entry = kmx::FindCompressorEntry(offer.fourcc);
        ASSERT_NE(entry, nullptr) << offer.name;
        EXPECT_EQ(offer.flags, i == 0 ? 0u : kmx::CompressorCapabilities(*entry)) << offer.name;
        EXPECT_EQ(Get<QSlider>(chooser, Id::kIdQuality)->isEnabled(),
                  (offer.flags & VIDCF_QUALITY) != 0)
            << offer.name;
        EXPECT_EQ(Get<QCheckBox>(chooser, Id::kIdKeyFrameBox)->isEnabled(),
                  (offer.flags & VIDCF_TEMPORAL) != 0)
            << offer.name;
        EXPECT_EQ(Get<QCheckBox>(chooser, Id::kIdDataRateBox)->isEnabled(),
                  (offer.flags & VIDCF_CRUNCH) != 0)
            << offer.name;
        // Settings a compressor does not honour are not handed out.
        const CodecChoice choice = chooser.Choice();
        EXPECT_EQ(choice.fourcc, offer.fourcc);
        if ((offer.flags & VIDCF_QUALITY) == 0) {
            EXPECT_EQ(choice.quality, ICQUALITY_DEFAULT) << offer.name;
        }
    }
}

TEST_F(CodecChooser, KeyFramesAndDataRateGoIntoTheRecord) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 64, 48, 2));
    std::uint32_t chosen = 0;
    Choose(dlg, [&](CCodecChooserDlg& chooser) {
        // A compressor with quality, key frames and data rate (MPEG-4 here).
        for (const CCodecChooserDlg::Offer& offer : chooser.Offers()) {
            const std::uint32_t all = VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_CRUNCH;
            if ((offer.flags & all) == all) {
                chosen = offer.fourcc;
                break;
            }
        }
        if (chosen == 0) {
            return int(QDialog::Rejected);
        }
        Pick(chooser, chosen);
        Get<QSlider>(chooser, Id::kIdQuality)->setValue(40);
        auto* keyBox = Get<QCheckBox>(chooser, Id::kIdKeyFrameBox);
        auto* keyRate = Get<QSpinBox>(chooser, Id::kIdKeyFrameRate);
        EXPECT_FALSE(keyRate->isEnabled()); // until its box is checked
        keyBox->click();
        EXPECT_TRUE(keyRate->isEnabled());
        keyRate->setValue(12);
        Get<QCheckBox>(chooser, Id::kIdDataRateBox)->click();
        Get<QSpinBox>(chooser, Id::kIdDataRate)->setValue(500);
        return int(QDialog::Accepted);
    });
    if (chosen == 0) {
        GTEST_SKIP() << "no compressor with key frames and data rate in this libavcodec";
    }
    const COMPVARS& cv = dlg.CompressorSettings();
    EXPECT_EQ(cv.fccHandler, chosen);
    EXPECT_EQ(cv.lQ, 4000);
    EXPECT_EQ(cv.lKey, 12);
    EXPECT_EQ(cv.lDataRate, 500);

    // All three come back when the chooser opens again; unchecking the key
    // frame box gives 0 (the compressor's own rate).
    Choose(dlg, [](CCodecChooserDlg& chooser) {
        EXPECT_EQ(Get<QSlider>(chooser, Id::kIdQuality)->value(), 40);
        EXPECT_TRUE(Get<QCheckBox>(chooser, Id::kIdKeyFrameBox)->isChecked());
        EXPECT_EQ(Get<QSpinBox>(chooser, Id::kIdKeyFrameRate)->value(), 12);
        EXPECT_TRUE(Get<QCheckBox>(chooser, Id::kIdDataRateBox)->isChecked());
        EXPECT_EQ(Get<QSpinBox>(chooser, Id::kIdDataRate)->value(), 500);
        Get<QCheckBox>(chooser, Id::kIdKeyFrameBox)->click();
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(dlg.CompressorSettings().lKey, 0);
    EXPECT_EQ(dlg.CompressorSettings().lDataRate, 500);
}

TEST_F(CodecChooser, OnlyCompressorsThatTakeTheInputAreOffered) {
    CMainDlg dlg;
    // 30 x 30: Cinepak and Video 1 need sizes in multiples of 4.
    ChooseInput(dlg, Sample("odd.avi", 30, 30, 2));
    std::vector<std::uint32_t> offered;
    Choose(dlg, [&](CCodecChooserDlg& chooser) {
        for (const auto& offer : chooser.Offers()) {
            offered.push_back(offer.fourcc);
        }
        return int(QDialog::Rejected);
    });
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered[0], FOURCC_DIB);
    for (std::uint32_t fourcc : offered) {
        const kmx::CompressorEntry* entry = kmx::FindCompressorEntry(fourcc);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(30 % entry->widthMultiple, 0) << entry->shortName;
        EXPECT_EQ(30 % entry->heightMultiple, 0) << entry->shortName;
        EXPECT_TRUE(kmx::IsCompressorAvailable(*entry)) << entry->shortName;
    }
    const auto has = [&offered](std::uint32_t fourcc) {
        return std::find(offered.begin(), offered.end(), fourcc) != offered.end();
    };
    EXPECT_FALSE(has(Fourcc("MSVC")));
    EXPECT_FALSE(has(Fourcc("cvid")));
    EXPECT_TRUE(has(kMjpg));
}

TEST_F(CodecChooser, PreviousChoiceNotOfferedForThisInputFallsBackToNone) {
    COMPVARS previous = kmx::MakeEmptyCompVars();
    previous.dwFlags = ICMF_COMPVARS_VALID;
    previous.fccType = ICTYPE_VIDEO;
    previous.fccHandler = Fourcc("MSVC"); // needs a multiple of 4
    BITMAPINFOHEADER input{};
    input.biSize = 40;
    input.biWidth = 30;
    input.biHeight = 30;
    input.biPlanes = 1;
    input.biBitCount = 24;
    CCodecChooserDlg chooser(&input, previous);
    EXPECT_EQ(chooser.Selected(), 0);
    EXPECT_EQ(chooser.Choice().fourcc, FOURCC_DIB);

    // Out-of-range values from a project file are shown within range.
    previous.fccHandler = kMjpg;
    previous.lQ = 123456;
    previous.lDataRate = 0x7FFFFFFF;
    CCodecChooserDlg clamped(&input, previous);
    EXPECT_EQ(clamped.Offers()[static_cast<std::size_t>(clamped.Selected())].fourcc, kMjpg);
    EXPECT_EQ(Get<QSlider>(clamped, Id::kIdQuality)->value(), 100);
    EXPECT_EQ(clamped.Choice().quality, 10000);
    EXPECT_GT(clamped.Choice().dataRate, 0);
    EXPECT_LE(clamped.Choice().dataRate, 1000000);
}

TEST_F(CodecChooser, ToolTipsAndF1) {
    CCodecChooserDlg chooser(nullptr, kmx::MakeEmptyCompVars());
    EXPECT_EQ(chooser.ToolTipText(Id::kIdCompressorList), "select codec for converted output AVI");
    EXPECT_EQ(chooser.ToolTipText(Id::kIdQuality), "");
    chooser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
    QTest::keyClick(&chooser, Qt::Key_F1);
    EXPECT_TRUE(chooser.isVisible());
    QTest::keyClick(&chooser, Qt::Key_Escape);
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_EQ(chooser.result(), QDialog::Rejected);
}

} // namespace
