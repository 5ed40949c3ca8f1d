// Shared set-up of the overlay dialogs' tests: English texts, scripted
// message boxes, the file dialog and the sub-dialogs answered without a
// window, and generated AVI files (made once per run, shared by the tests).
#pragma once

#include "app/ModalDialogs.h"
#include "app/Settings.h"
#include "app/TextCatalog.h"
#include "media/TestPattern.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempDir.h"
#include "ui/overlay/AviFileDialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QSlider>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class OverlayGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::language = 2;
        CSettings::toolTips = 1;
        TextCatalog().Init(2);
        SetAviFileDialogHook([this](const std::string&, const std::string&, std::string* chosen) {
            const std::optional<std::string> answer =
                fileAnswers.empty() ? std::nullopt : fileAnswers.front();
            if (!fileAnswers.empty()) {
                fileAnswers.pop_front();
            }
            if (answer) {
                *chosen = *answer;
            }
            return answer.has_value();
        });
        SetModalDialogHook([this](QDialog& dialog) {
            subDialogs.push_back(dialog.metaObject()->className());
            return subDialogAnswer ? subDialogAnswer(dialog) : int(QDialog::Rejected);
        });
    }

    void TearDown() override {
        SetAviFileDialogHook({});
        SetModalDialogHook({});
    }

    // A test-pattern AVI, written once per run and shared.
    static std::string Sample(int width, int height, int frames, int bits = 24,
                              int patternOffset = 0) {
        static TempDir folder;
        const std::string path = folder.File(
            std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits) +
            "-" + std::to_string(frames) + "-" + std::to_string(patternOffset) + ".avi");
        if (!std::filesystem::exists(path)) {
            kmx::SampleAviOptions options;
            options.width = width;
            options.height = height;
            options.frames = frames;
            options.bitsPerPixel = bits;
            options.patternOffset = patternOffset;
            std::string error;
            EXPECT_TRUE(kmx::WriteSampleAvi(path, options, &error)) << error;
        }
        return path;
    }

    template <typename T> static T* Control(const QWidget& dialog, int id) {
        return dialog.findChild<T*>(QStringLiteral("control%1").arg(id));
    }
    static QAbstractButton* Button(const QWidget& dialog, int id) {
        return Control<QAbstractButton>(dialog, id);
    }
    static QSlider* Bar(const QWidget& dialog, int id) { return Control<QSlider>(dialog, id); }
    static std::string Field(const QWidget& dialog, int id) {
        return Control<QLineEdit>(dialog, id)->text().toStdString();
    }
    static QImage Grab(QWidget* widget) {
        return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
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
    std::vector<std::string> subDialogs;
    std::function<int(QDialog&)> subDialogAnswer;
};
