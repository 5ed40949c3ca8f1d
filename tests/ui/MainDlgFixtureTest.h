// Shared set-up of the main window's tests: English texts, scripted message
// boxes, file dialogs and modal dialogs answered without a window, generated
// input files in a temporary folder.
#pragma once

#include "app/ModalDialogs.h"
#include "app/QtNotificationTarget.h"
#include "app/Settings.h"
#include "app/TextCatalog.h"
#include "engine/ConvertThread.h"
#include "media/TestPattern.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempDir.h"
#include "ui/main/FileDialogs.h"
#include "ui/main/MainDlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::language = 2;
        CSettings::toolTips = 1;
        TextCatalog().Init(2);
        SetFileDialogHook([this](const FileDialogRequest& request, std::string* chosen) {
            fileRequests.push_back(request);
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
            modalDialogs.push_back(dialog.metaObject()->className());
            return modalAnswer ? modalAnswer(dialog) : int(QDialog::Rejected);
        });
    }

    void TearDown() override {
        SetFileDialogHook({});
        SetModalDialogHook({});
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

    // A button of the window with the file dialog answering path (nullopt: Cancel).
    void ClickWithFile(CMainDlg& dlg, int id, std::optional<std::string> path) {
        fileAnswers.push_back(std::move(path));
        Button(dlg, id)->click();
    }
    void ChooseInput(CMainDlg& dlg, std::optional<std::string> path) {
        ClickWithFile(dlg, 5, std::move(path));
    }
    void ChooseOutput(CMainDlg& dlg, std::optional<std::string> path) {
        ClickWithFile(dlg, 6, std::move(path));
    }

    static QAbstractButton* Button(const CMainDlg& dlg, int id) {
        return qobject_cast<QAbstractButton*>(dlg.Control(id));
    }
    static bool Enabled(const CMainDlg& dlg, int id) { return dlg.Control(id)->isEnabled(); }
    static bool Checked(const CMainDlg& dlg, int id) { return Button(dlg, id)->isChecked(); }
    static QString Text(const CMainDlg& dlg, int id) {
        return qobject_cast<QLabel*>(dlg.Control(id))->text();
    }
    static void Send(CMainDlg& dlg, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        CWorkerEvent event(message, wParam, lParam, nullptr);
        QCoreApplication::sendEvent(&dlg, &event);
    }
    // Waits (handling events) until the window has left the converting state.
    static bool WaitUntilIdle(const CMainDlg& dlg) {
        return QTest::qWaitFor([&] { return !dlg.IsConverting(); }, 20000);
    }
    // Waits without handling events: the worker's notices stay queued.
    static bool WaitUntilRunning(const CWorkerThread& worker) {
        for (int i = 0; i < 2000 && worker.State() != CConvertThread::kRunning; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return worker.State() == CConvertThread::kRunning;
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes.shown) {
            texts.push_back(box.text);
        }
        return texts;
    }

    // A worker that polls quickly; its waits last at most a second.
    CWorkerThread::Timing fast{std::chrono::milliseconds(10), 100};
    ScriptedMessageBoxes boxes;
    TempDir dir;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<std::string> modalDialogs;
    std::function<int(QDialog&)> modalAnswer;
};
