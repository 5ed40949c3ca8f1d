// Shared set-up of the main window's tests: English texts, scripted message
// boxes, file dialogs and modal dialogs answered without a window, generated
// input files in a temporary folder.
#pragma once

#include "app/Settings.h"
#include "app/TextCatalog.h"
#include "media/TestPattern.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempDir.h"
#include "ui/main/FileDialogs.h"
#include "ui/main/MainDlg.h"
#include "ui/main/ModalDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::language = 2;
        CSettings::toolTips = 1;
        TextCatalog().Init(2);
        SetFileDialogHook([this](const FileDialogRequest& request, std::string* chosen) {
            fileRequests.push_back(request);
            if (fileAnswers.empty()) {
                return false;
            }
            const std::optional<std::string> answer = fileAnswers.front();
            fileAnswers.pop_front();
            if (!answer) {
                return false;
            }
            *chosen = *answer;
            return true;
        });
        SetModalDialogHook([this](QDialog& dialog) {
            modalDialogs.push_back(dialog.metaObject()->className());
            return modalAnswer ? modalAnswer(dialog) : int(QDialog::Rejected);
        });
    }

    void TearDown() override {
        SetFileDialogHook({});
        SetModalDialogHook({});
        CSettings::language = 2;
        CSettings::toolTips = 1;
        TextCatalog().Init(2);
    }

    // A test-pattern AVI in the temporary folder.
    std::string Sample(const std::string& name, int width, int height, int frames, int bits = 24) {
        kmx::SampleAviOptions options;
        options.width = width;
        options.height = height;
        options.frames = frames;
        options.bitsPerPixel = bits;
        const std::string path = dir.File(name);
        std::string error;
        EXPECT_TRUE(kmx::WriteSampleAvi(path, options, &error)) << error;
        return path;
    }

    // The Input AVI button with the file dialog answering path (nullopt: Cancel).
    void ChooseInput(CMainDlg& dlg, std::optional<std::string> path) {
        fileAnswers.push_back(std::move(path));
        Button(dlg, 5)->click();
    }
    void ChooseOutput(CMainDlg& dlg, std::optional<std::string> path) {
        fileAnswers.push_back(std::move(path));
        Button(dlg, 6)->click();
    }

    static QAbstractButton* Button(const CMainDlg& dlg, int id) {
        return qobject_cast<QAbstractButton*>(dlg.Control(id));
    }
    static bool Enabled(const CMainDlg& dlg, int id) { return dlg.Control(id)->isEnabled(); }
    static bool Checked(const CMainDlg& dlg, int id) { return Button(dlg, id)->isChecked(); }
    static QString Text(const CMainDlg& dlg, int id) {
        return qobject_cast<QLabel*>(dlg.Control(id))->text();
    }
    // Texts of the boxes shown so far.
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes.shown) {
            texts.push_back(box.text);
        }
        return texts;
    }

    ScriptedMessageBoxes boxes;
    TempDir dir;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<std::string> modalDialogs;
    std::function<int(QDialog&)> modalAnswer;
};
