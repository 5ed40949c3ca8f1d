// What every window test sets up: English texts with tool tips on, scripted
// message boxes, modal dialogs answered without a window, scripted answers
// for a file dialog, and generated AVI files.
#pragma once

#include "app/ModalDialogs.h"
#include "app/Settings.h"
#include "app/TextCatalog.h"
#include "pattern/TestPattern.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

#include <QDialog>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::language = 2;
        CSettings::toolTips = 1;
        TextCatalog().Init(2);
        SetModalDialogHook([this](QDialog& dialog) {
            modalDialogs.push_back(dialog.metaObject()->className());
            return modalAnswer ? modalAnswer(dialog) : int(QDialog::Rejected);
        });
    }

    void TearDown() override { SetModalDialogHook({}); }

    // The next scripted file dialog answer (nullopt or none left: Cancel).
    bool AnswerFileDialog(std::string* chosen) {
        const std::optional<std::string> answer =
            fileAnswers.empty() ? std::nullopt : fileAnswers.front();
        if (!fileAnswers.empty()) {
            fileAnswers.pop_front();
        }
        if (answer) {
            *chosen = *answer;
        }
        return answer.has_value();
    }

    // Writes a test-pattern AVI to path.
    static void WriteSample(const std::string& path, int width, int height, int frames, int bits,
                            int patternOffset = 0) {
        const kmx::SampleAviOptions options{.width = width,
                                            .height = height,
                                            .bitsPerPixel = bits,
                                            .frames = frames,
                                            .patternOffset = patternOffset};
        std::string error;
        EXPECT_TRUE(kmx::WriteSampleAvi(path, options, &error)) << error;
    }

    // A 64 x 48 AVI of five 8-bit paletted frames at the given frame rate,
    // made by ffmpeg; 0 when it was written.
    static int WritePalettedAvi(const std::string& path, int rate) {
        return RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                        "testsrc=size=64x48:rate=" + std::to_string(rate), "-frames:v", "5",
                        "-pix_fmt", "pal8", "-c:v", "rawvideo", path});
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes.shown) {
            texts.push_back(box.text);
        }
        return texts;
    }

    ScriptedMessageBoxes boxes;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<std::string> modalDialogs; // class names, in the order they ran
    std::function<int(QDialog&)> modalAnswer;
};
