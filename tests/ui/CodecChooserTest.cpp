// The compressor chooser's round trip into the main window's compressor
// record and name, and the compressors it lists for each output container.
#include "codec/CompressorInfo.h"
#include "codec/ContainerCodecs.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/CodecChooserDlg.h"

#include <QComboBox>
#include <QSlider>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kMjpg = 0x47504A4D; // "MJPG"

using Id = CCodecChooserDlg::ControlId;
using kmx::OutputContainer;

// An output name of the main window (none: AVI), its container and the
// chooser's line.
struct ContainerRow {
    const char* output;
    OutputContainer container;
    const char* line;
};
constexpr ContainerRow kContainers[] = {
    {nullptr, OutputContainer::Avi, "Compressors that AVI output can hold."},
    {"out.mp4", OutputContainer::Mp4, "Compressors that MP4 output can hold."},
    {"out.webm", OutputContainer::WebM, "Compressors that WebM output can hold."},
    {"out.MKV", OutputContainer::Mkv, "Compressors that MKV output can hold."},
};

class CodecChooser : public MainDlgTest {
protected:
    static QComboBox* List(const CCodecChooserDlg& chooser) {
        return Control<QComboBox>(chooser, Id::kIdCompressorList);
    }
    static QSlider* Quality(const CCodecChooserDlg& chooser) {
        return Bar(chooser, Id::kIdQuality);
    }
    static int IndexOf(const CCodecChooserDlg& chooser, std::uint32_t fourcc) {
        for (std::size_t i = 0; i < chooser.Offers().size(); ++i) {
            if (chooser.Offers()[i].fourcc == fourcc) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    // Runs Codec with the chooser answered by answer.
    void Choose(CMainDlg& dlg, std::function<int(CCodecChooserDlg&)> answer) {
        modalAnswer = [answer = std::move(answer)](QDialog& dialog) {
            return answer(dynamic_cast<CCodecChooserDlg&>(dialog));
        };
        Button(dlg, 1014)->click();
        modalAnswer = nullptr;
    }
};

TEST_F(CodecChooser, ChoiceRoundTripIntoTheCompressorRecordAndName) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 64, 48, 3));
    Choose(dlg, [](CCodecChooserDlg& chooser) {
        List(chooser)->setCurrentIndex(IndexOf(chooser, kMjpg));
        Quality(chooser)->setValue(75);
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(modalDialogs, std::vector<std::string>{"CCodecChooserDlg"});
    const COMPVARS& cv = dlg.CompressorSettings();
    EXPECT_EQ(cv.dwFlags, ICMF_COMPVARS_VALID);
    EXPECT_EQ(cv.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(cv.fccHandler, kMjpg);
    EXPECT_EQ(cv.lQ, 7500);
    EXPECT_EQ(dlg.CompressorInfo().fccHandler, kMjpg);
    EXPECT_EQ(dlg.CompressorName(), "Motion JPEG (libavcodec mjpeg)");
    EXPECT_EQ(Text(dlg, 1015), QStringLiteral("Motion JPEG (libavcodec mjpeg)"));

    // Opening again preselects the choice; Cancel keeps the records but
    // marks the project modified.
    dlg.UpdateTitle(false);
    const COMPVARS before = cv;
    int selected = -1;
    int quality = -1;
    Choose(dlg, [&](CCodecChooserDlg& chooser) {
        selected = List(chooser)->currentIndex() - IndexOf(chooser, kMjpg);
        quality = Quality(chooser)->value();
        List(chooser)->setCurrentIndex(0);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(quality, 75);
    EXPECT_EQ(std::memcmp(&dlg.CompressorSettings(), &before, sizeof before), 0);
    EXPECT_EQ(dlg.CompressorName(), "Motion JPEG (libavcodec mjpeg)");
    EXPECT_TRUE(dlg.IsModified());

    // No compression is named by the catalogue, in the language of the moment.
    TextCatalog().Init(1);
    Choose(dlg, [](CCodecChooserDlg& chooser) {
        List(chooser)->setCurrentIndex(0);
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(dlg.CompressorSettings().fccHandler, FOURCC_DIB);
    EXPECT_EQ(dlg.CompressorName(), GetText(51));
    EXPECT_EQ(Text(dlg, 1015), QStringLiteral("keine Kompression"));
}

// Only what the output's container holds and this machine has, in table
// order ("no compression" for AVI's uncompressed frames). Naming the output
// keeps the choice made for AVI; the chooser opens on it where it fits, else
// on the first entry.
TEST_F(CodecChooser, ListsWhatTheOutputContainerHoldsAndNamesIt) {
    const std::string input = Sample("base.avi", 64, 48, 3);
    for (const ContainerRow& row : kContainers) {
        SCOPED_TRACE(kmx::ContainerTitle(row.container));
        std::vector<std::uint32_t> expected;
        for (const kmx::CompressorListing& listing : kmx::ListCompressors(false)) {
            if (kmx::ContainerHolds(row.container, listing.fourcc)) {
                expected.push_back(listing.fourcc);
            }
        }
        ASSERT_FALSE(expected.empty());
        const auto mjpg = std::find(expected.begin(), expected.end(), kMjpg);
        const int preselected = mjpg == expected.end() ? 0 : int(mjpg - expected.begin());
        CMainDlg dlg;
        ChooseInput(dlg, input);
        Choose(dlg, [](CCodecChooserDlg& chooser) {
            List(chooser)->setCurrentIndex(IndexOf(chooser, kMjpg));
            return int(QDialog::Accepted);
        });
        if (row.output != nullptr) {
            ChooseOutput(dlg, dir.File(row.output));
        }
        EXPECT_EQ(dlg.CompressorSettings().fccHandler, kMjpg);
        std::vector<std::uint32_t> listed;
        QString line;
        int selected = -1;
        Choose(dlg, [&](CCodecChooserDlg& chooser) {
            for (const CCodecChooserDlg::Offer& offer : chooser.Offers()) {
                listed.push_back(offer.fourcc);
            }
            EXPECT_EQ(List(chooser)->count(), static_cast<int>(listed.size()));
            line = Control<QLabel>(chooser, Id::kIdContainerLine)->text();
            selected = List(chooser)->currentIndex();
            return int(QDialog::Accepted);
        });
        EXPECT_EQ(listed, expected);
        EXPECT_EQ(line.toStdString(), row.line);
        EXPECT_EQ(selected, preselected);
        EXPECT_EQ(dlg.CompressorSettings().fccHandler, expected[std::size_t(preselected)]);
    }
}

} // namespace
