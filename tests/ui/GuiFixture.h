// What every window test sets up: English texts with tool tips on, scripted
// message boxes, modal dialogs answered without a window, scripted answers
// for a file dialog, and generated AVI files; and the ways to reach a
// window's controls.
#pragma once

#include "app/ModalDialogs.h"
#include "app/Settings.h"
#include "app/TextCatalog.h"
#include "pattern/TestPattern.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QSlider>
#include <QToolTip>

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

    // The controls of a dialog built from its template, by control id.
    template <typename T> static T* Control(const QWidget& dialog, int id) {
        T* control = dialog.findChild<T*>(QStringLiteral("control%1").arg(id));
        EXPECT_NE(control, nullptr) << id;
        return control;
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
    // The tool tip a control of a shown window shows when asked (none: empty).
    static QString ToolTipOf(QWidget* control) {
        const QPoint inside = control->rect().center();
        QHelpEvent event(QEvent::ToolTip, inside, control->mapToGlobal(inside));
        QApplication::sendEvent(control, &event);
        const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return text;
    }

    ScriptedMessageBoxes boxes;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<std::string> modalDialogs; // class names, in the order they ran
    std::function<int(QDialog&)> modalAnswer;
};
