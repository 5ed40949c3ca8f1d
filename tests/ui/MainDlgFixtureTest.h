// Shared set-up of the main window's tests: the window test set-up with the
// main window's file dialog, input files in a temporary folder, and helpers
// to reach the window's controls and its worker.
#pragma once

#include "app/QtNotificationTarget.h"
#include "engine/ConvertThread.h"
#include "tests/support/TempDir.h"
#include "tests/ui/GuiFixture.h"
#include "ui/main/FileDialogs.h"
#include "ui/main/MainDlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QTest>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class MainDlgTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        SetFileDialogHook([this](const FileDialogRequest& request, std::string* chosen) {
            fileRequests.push_back(request);
            return AnswerFileDialog(chosen);
        });
    }

    void TearDown() override {
        SetFileDialogHook({});
        GuiFixture::TearDown();
    }

    // A test-pattern AVI in the temporary folder.
    std::string Sample(const std::string& name, int width, int height, int frames, int bits = 24) {
        const std::string path = dir.File(name);
        WriteSample(path, width, height, frames, bits);
        return path;
    }

    // A button of the window with the file dialog answering path (nullopt: Cancel).
    void ClickWithFile(CMainDlg& dlg, int id, std::optional<std::string> path) {
        fileAnswers.push_back(std::move(path));
        Button(dlg, id)->click();
        EXPECT_TRUE(WaitUntilOpened(dlg));
    }
    void ChooseInput(CMainDlg& dlg, std::optional<std::string> path) {
        ClickWithFile(dlg, 5, std::move(path));
    }
    void ChooseOutput(CMainDlg& dlg, std::optional<std::string> path) {
        ClickWithFile(dlg, 6, std::move(path));
    }

    // Starts a run on a small input whose output is of no known type: the
    // worker stops at its first message, before it looks for a stop, and
    // waits there for an answer.
    [[nodiscard]] bool StartARunThatWaits(CMainDlg& dlg, const CWorkerThread& worker) {
        ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
        ChooseOutput(dlg, dir.File("out.unknown"));
        Button(dlg, 3)->click();
        return WaitUntilRunning(worker);
    }

    static bool Enabled(const CMainDlg& dlg, int id) { return dlg.Control(id)->isEnabled(); }
    static bool Checked(const CMainDlg& dlg, int id) { return Button(dlg, id)->isChecked(); }
    static QString Text(const CMainDlg& dlg, int id) { return Control<QLabel>(dlg, id)->text(); }
    static void Send(CMainDlg& dlg, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        CWorkerEvent event(message, wParam, lParam, nullptr);
        QCoreApplication::sendEvent(&dlg, &event);
    }
    // Waits (handling events) until the window has left the converting
    // state and opened its input again.
    static bool WaitUntilIdle(const CMainDlg& dlg) {
        return QTest::qWaitFor([&] { return !dlg.IsConverting() && !dlg.IsOpeningInput(); }, 20000);
    }
    // Waits (handling events) until the input asked for is open.
    static bool WaitUntilOpened(const CMainDlg& dlg) {
        return QTest::qWaitFor([&] { return !dlg.IsOpeningInput(); }, 20000);
    }
    // Waits without handling events: the worker's notices stay queued.
    static bool WaitUntilRunning(const CWorkerThread& worker) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (worker.State() != CConvertThread::kRunning &&
               std::chrono::steady_clock::now() < until) {
            std::this_thread::yield();
        }
        return worker.State() == CConvertThread::kRunning;
    }
    // A worker that polls quickly; its waits last at most a second.
    CWorkerThread::Timing fast{std::chrono::milliseconds(10), 100};
    TempDir dir;
    std::vector<FileDialogRequest> fileRequests;
};
