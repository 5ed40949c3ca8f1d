// Shared set-up of the overlay dialogs' tests: the window test set-up with
// the overlay file dialog and generated AVI files (made once per run, shared
// by the tests).
#pragma once

#include "tests/support/TempDir.h"
#include "tests/ui/GuiFixture.h"
#include "ui/overlay/AviFileDialog.h"
#include "ui/overlay/OverlayDlg.h"

#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>
#include <string>

class OverlayGuiTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        SetAviFileDialogHook([this](const std::string&, const std::string&, std::string* chosen) {
            return AnswerFileDialog(chosen);
        });
    }

    void TearDown() override {
        SetAviFileDialogHook({});
        GuiFixture::TearDown();
    }

    // Waits (handling events) until the dialog has opened its overlay file.
    static bool WaitLoaded(const COverlayDlg& dlg) {
        return QTest::qWaitFor([&] { return !dlg.IsLoadingOverlay(); }, 20000);
    }

    // A test-pattern AVI, written once per run and shared.
    static std::string Sample(int width, int height, int frames, int bits = 24,
                              int patternOffset = 0) {
        static TempDir folder;
        const std::string path = folder.File(
            std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits) +
            "-" + std::to_string(frames) + "-" + std::to_string(patternOffset) + ".avi");
        if (!std::filesystem::exists(path)) {
            WriteSample(path, width, height, frames, bits, patternOffset);
        }
        return path;
    }
};
