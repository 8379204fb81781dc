// Shared set-up of the shell tests: a private settings store, a fixed clock, scripted
// answers to the message seam and scripted file names instead of file dialogs.
#pragma once

#include "app/document_controller.h"
#include "app/main_frame.h"
#include "display/view/zentra_view.h"
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "tests/support/picture_checks.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace zentra::test {

// 2013-01-05 14:03:09 UTC.
inline constexpr platform::TimeSeconds kFixedNow = 1357394589;

// File names as a script: each call takes the next queued answer (nullopt =
// cancelled); an empty queue cancels. Records what the save dialog suggested.
class ScriptedChooser : public FileChooser {
  public:
    std::deque<std::optional<std::string>> openPaths, savePaths, csvPaths;
    std::vector<std::string> suggestions;
    int openCalls = 0, saveCalls = 0, csvCalls = 0;

    std::optional<std::string> ChooseOpenPath() override {
        ++openCalls;
        return Take(openPaths);
    }
    std::optional<std::string> ChooseSavePath(const std::string& suggested) override {
        ++saveCalls;
        suggestions.push_back(suggested);
        return Take(savePaths);
    }
    std::optional<std::string> ChooseCsvPath() override {
        ++csvCalls;
        return Take(csvPaths);
    }

  private:
    static std::optional<std::string> Take(std::deque<std::optional<std::string>>& queue) {
        if (queue.empty())
            return std::nullopt;
        auto next = queue.front();
        queue.pop_front();
        return next;
    }
};

// Writes a project file whose project name is the given text.
inline void WriteProject(const std::string& path, const char* projectName) {
    CZentraDoc doc;
    doc.OnNewDocument();
    std::snprintf(doc.m_ProjectName.data(), doc.m_ProjectName.size(), "%s", projectName);
    ASSERT_TRUE(OnSaveDocument(doc, path).ok) << path;
}

inline std::string ProjectName(const CZentraDoc& doc) {
    return doc.m_ProjectName.data();
}

// Sends a drop of the given files onto a window, as a file manager does. True when
// the window took the drop.
inline bool Drop(QWidget* target, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// The main window at 1024 x 740 as it is drawn on the screen.
inline QImage ShotOfMainWindow(CMainFrame& frame) {
    frame.resize(1024, 740);
    frame.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.View()->DrawView();
    QApplication::processEvents();
    return frame.grab().toImage();
}

class ShellTest : public ::testing::Test {
  protected:
    // Order matters: the store and the clock outlive every document.
    ScopedUserFolders folders_;
    platform::ManualClock clock_{kFixedNow};
    TempDir files_;
    ScriptedMessages messages_;
    ScriptedChooser chooser_;

    std::unique_ptr<CMainFrame> MakeFrame(const std::optional<std::string>& path = std::nullopt) {
        auto frame = std::make_unique<CMainFrame>(&chooser_);
        std::string reason;
        EXPECT_TRUE(frame->Start(path, &reason)) << reason;
        return frame;
    }

    std::unique_ptr<DocumentController> MakeController() {
        auto controller = std::make_unique<DocumentController>(chooser_);
        std::string reason;
        EXPECT_TRUE(controller->Start(std::nullopt, &reason)) << reason;
        return controller;
    }
};

} // namespace zentra::test
