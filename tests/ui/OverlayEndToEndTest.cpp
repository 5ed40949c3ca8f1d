// An overlay set up through the dialogs and converted by the engine shows in
// the output at the chosen place, from the chosen base frame on.
#include "media/AviReader.h"
#include "tests/engine/JobRunner.h"
#include "tests/support/TempDir.h"
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/OverlayDlg.h"
#include "ui/overlay/QuickPosDlg.h"

#include <QPushButton>

#include <cstring>
#include <vector>

namespace {

// The pixel rows of every frame of a 24-bit file, top-down, 3 bytes a pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // top-down rows without padding

    const std::uint8_t* Pixel(int x, int y) const {
        return rgb.data() + (std::size_t(y) * width + x) * 3;
    }
};

std::vector<Picture> ReadFrames(const std::string& path) {
    std::vector<Picture> frames;
    CAviReader reader;
    EXPECT_TRUE(reader.Open(path.c_str()));
    EXPECT_TRUE(reader.StartVideoRetrieve(0));
    for (int i = 0; i < reader.GetVideoLength(0); ++i) {
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, i, &dib);
        EXPECT_NE(dib, nullptr) << i;
        if (dib == nullptr || dib->biBitCount != 24) {
            ADD_FAILURE() << "frame " << i << " is not 24 bits";
            break;
        }
        Picture p;
        p.width = dib->biWidth;
        p.height = dib->biHeight;
        const std::size_t stride = (std::size_t(p.width) * 3 + 3) / 4 * 4;
        const auto* rows = reinterpret_cast<const std::uint8_t*>(dib) + dib->biSize;
        p.rgb.resize(std::size_t(p.width) * p.height * 3);
        for (int y = 0; y < p.height; ++y) {
            std::memcpy(p.rgb.data() + std::size_t(y) * p.width * 3,
                        rows + std::size_t(p.height - 1 - y) * stride, std::size_t(p.width) * 3);
        }
        frames.push_back(std::move(p));
    }
    return frames;
}

} // namespace

class OverlayEndToEndTest : public OverlayGuiTest {};

TEST_F(OverlayEndToEndTest, TheOverlayAppearsWhereTheDialogPutIt) {
    const std::string base = Sample(160, 120, 6);
    const std::string overlay = Sample(80, 60, 6, 24, 100);
    TempDir dir;
    ConvertJob job = SimpleJob(base, dir.File("out.avi"));

    {
        COverlayDlg dlg;
        dlg.SetTarget(&job.overlays[0], job.inputPath);
        fileAnswers.push_back(overlay);
        Control<QPushButton>(dlg, 1021)->click(); // Overlay AVI
        subDialogAnswer = [](QDialog& dialog) {
            Control<QPushButton>(dialog, 1047)->click(); // upper right quarter
            return dialog.result();
        };
        Control<QPushButton>(dlg, 1037)->click();
        Bar(dlg, 1016)->setValue(2);
        Control<QPushButton>(dlg, 1034)->click(); // the overlay starts at base frame 3
        Control<QPushButton>(dlg, 1)->click();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
    }
    const OverlaySettings& slot = job.overlays[0];
    ASSERT_EQ(slot.path, overlay);
    ASSERT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height),
              std::make_tuple(80, 0, 80, 60));
    ASSERT_EQ(std::make_tuple(slot.overlayStart, slot.overlayEnd, slot.baseStart),
              std::make_tuple(0, 5, 2));
    EXPECT_TRUE(boxes.shown.empty());

    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0) << (outcome.messages.empty() ? "" : outcome.messages[0]);

    const std::vector<Picture> in = ReadFrames(base);
    const std::vector<Picture> over = ReadFrames(overlay);
    const std::vector<Picture> out = ReadFrames(job.outputPath);
    ASSERT_EQ(out.size(), 6u);
    ASSERT_EQ(over.size(), 6u);
    for (std::size_t k = 0; k < out.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "output frame " << k);
        int wrong = 0;
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 160; ++x) {
                const bool inside = k >= 2 && x >= 80 && y < 60;
                // Scaled overlays show one field: rows 0, 0, 2, 2, 4, ...
                const std::uint8_t* want =
                    inside ? over[k - 2].Pixel(x - 80, y & ~1) : in[k].Pixel(x, y);
                if (std::memcmp(out[k].Pixel(x, y), want, 3) != 0) {
                    ++wrong;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        // The overlay's own number can be read back from its place.
        if (k >= 2) {
            std::vector<std::uint8_t> crop(80 * 60 * 3);
            for (int y = 0; y < 60; ++y) {
                // Bottom-up rows for the pattern reader.
                std::memcpy(crop.data() + std::size_t(59 - y) * 240, out[k].Pixel(80, y), 240);
            }
            EXPECT_EQ(kmx::ReadTestPatternNumber(crop.data(), 80, 60, 24), 100 + int(k) - 2);
        }
    }
}
