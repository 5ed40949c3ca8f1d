// Shared set-up of the overlay dialogs' tests: English texts, scripted
// message boxes, the file dialog and the sub-dialogs answered without a
// window, and generated AVI files (made once per run, shared by the tests).
#pragma once

#include "app/Settings.h"
#include "app/TextCatalog.h"
#include "media/TestPattern.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempDir.h"
#include "ui/overlay/AviFileDialog.h"
#include "ui/overlay/SubDialogRunner.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QSlider>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class OverlayGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::language = 2;
        CSettings::toolTips = 1;
        TextCatalog().Init(2);
        SetAviFileDialogHook(
            [this](const std::string& title, const std::string& initial, std::string* chosen) {
                fileRequests.push_back({title, initial});
                if (fileAnswers.empty() || !fileAnswers.front()) {
                    if (!fileAnswers.empty()) {
                        fileAnswers.pop_front();
                    }
                    return false;
                }
                *chosen = *fileAnswers.front();
                fileAnswers.pop_front();
                return true;
            });
        SetSubDialogHook([this](QDialog& dialog) {
            subDialogs.push_back(dialog.metaObject()->className());
            return subDialogAnswer ? subDialogAnswer(dialog) : int(QDialog::Rejected);
        });
    }

    void TearDown() override {
        SetAviFileDialogHook({});
        SetSubDialogHook({});
        CSettings::toolTips = 1;
    }

    // A test-pattern AVI, written once per run and shared.
    static std::string Sample(int width, int height, int frames, int bits = 24,
                              int patternOffset = 0) {
        static TempDir folder;
        static std::map<std::string, std::string> made;
        const std::string name = std::to_string(width) + "x" + std::to_string(height) + "x" +
                                 std::to_string(bits) + "-" + std::to_string(frames) + "-" +
                                 std::to_string(patternOffset) + ".avi";
        const auto it = made.find(name);
        if (it != made.end()) {
            return it->second;
        }
        kmx::SampleAviOptions options;
        options.width = width;
        options.height = height;
        options.frames = frames;
        options.bitsPerPixel = bits;
        options.patternOffset = patternOffset;
        const std::string path = folder.File(name);
        std::string error;
        EXPECT_TRUE(kmx::WriteSampleAvi(path, options, &error)) << error;
        made[name] = path;
        return path;
    }

    template <typename T> static T* Control(const QWidget& dialog, int id) {
        return dialog.findChild<T*>(QStringLiteral("control%1").arg(id));
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

    struct FileRequest {
        std::string title;
        std::string initialName;
    };

    ScriptedMessageBoxes boxes;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<FileRequest> fileRequests;
    std::vector<std::string> subDialogs;
    std::function<int(QDialog&)> subDialogAnswer;
};
