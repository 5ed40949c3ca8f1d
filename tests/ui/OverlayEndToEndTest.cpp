// An overlay set up through the dialogs and converted by the engine shows in
// the output at the chosen place, from the chosen base frame on.
#include "tests/engine/JobRunner.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/OverlayDlg.h"

#include <cstring>
#include <tuple>

using OverlayEndToEndTest = OverlayGuiTest;

TEST_F(OverlayEndToEndTest, TheOverlayAppearsWhereTheDialogPutIt) {
    const std::string base = Sample(160, 120, 6);
    const std::string overlay = Sample(80, 60, 6, 24, 100);
    TempDir dir;
    ConvertJob job = SimpleJob(base, dir.File("out.avi"));
    {
        COverlayDlg dlg;
        dlg.SetTarget(&job.overlays[0], job.inputPath);
        ASSERT_TRUE(WaitLoaded(dlg));
        fileAnswers.push_back(overlay);
        Button(dlg, 1021)->click(); // Overlay AVI
        ASSERT_TRUE(WaitLoaded(dlg));
        modalAnswer = [](QDialog& dialog) {
            Button(dialog, 1047)->click(); // upper right quarter
            return dialog.result();
        };
        Button(dlg, 1037)->click();
        Bar(dlg, 1016)->setValue(2);
        Button(dlg, 1034)->click(); // the overlay starts at base frame 3
        Button(dlg, 1)->click();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
    }
    const OverlaySettings& slot = job.overlays[0];
    ASSERT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height, slot.baseStart),
              std::make_tuple(80, 0, 80, 60, 2));
    EXPECT_TRUE(boxes.shown.empty());

    const JobOutcome outcome = RunJobOnWorker(job);
    ASSERT_EQ(outcome.done, 0) << (outcome.messages.empty() ? "" : outcome.messages[0]);
    const auto in = avitest::AllFrameRows(base);
    const auto over = avitest::AllFrameRows(overlay);
    const auto out = avitest::AllFrameRows(job.outputPath);
    ASSERT_EQ(out.size(), 6u);
    ASSERT_EQ(over.size(), 6u);
    for (std::size_t k = 0; k < out.size(); ++k) { // top-down rows, 3 bytes a pixel
        ASSERT_EQ(in[k].size(), out[k].size());
        ASSERT_EQ(out[k].size(), 4 * over[k].size());
        ASSERT_EQ(out[k].size(), 160u * 120 * 3);
        int wrong = 0;
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 160; ++x) {
                const bool inside = k >= 2 && x >= 80 && y < 60;
                // Scaled overlays show one field: rows 0, 0, 2, 2, 4, ...
                const std::uint8_t* want =
                    inside ? &over[k - 2][std::size_t((y & ~1) * 80 + x - 80) * 3]
                           : &in[k][std::size_t(y * 160 + x) * 3];
                wrong += std::memcmp(&out[k][std::size_t(y * 160 + x) * 3], want, 3) != 0;
            }
        }
        EXPECT_EQ(wrong, 0) << "output frame " << k;
    }
}
