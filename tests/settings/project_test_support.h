// Shared by the settings sheet tests: controls by id, user-like edits, and a
// runner that drives the modal sheet without blocking.
#pragma once

#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "records/graph_record.h"
#include "settings/project_sheet.h"
#include "settings/property_sheet.h"
#include "tests/support/test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace zentra::test {

// 2013-01-05 14:03:09 UTC, a Saturday in winter (London time = UTC).
inline constexpr platform::TimeSeconds kFixedNow = 1357394589;

template <typename T> T* Control(const QWidget& root, const char* id) {
    T* control = root.findChild<T*>(QString::fromLatin1(id));
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
}

// The user picks an entry and the list closes up.
inline void CloseUp(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// The user selects the whole text and types a new one.
inline void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// A click on a check box's indicator (its middle may lie beyond the label).
inline void Tick(QWidget* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

inline QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// The stored form of every graph record, to compare what a sheet left alone.
using GraphImages = std::array<std::array<std::uint8_t, kGraphRecordSize>, kGraphCount>;
inline GraphImages Images(const CZentraDoc& doc) {
    GraphImages images{};
    for (std::size_t g = 0; g < kGraphCount; ++g)
        EncodeGraph(doc.m_Graphs[g], images[g].data());
    return images;
}

// A new document with the built-in defaults, made at kFixedNow.
inline std::unique_ptr<CZentraDoc> NewDocument() {
    auto doc = std::make_unique<CZentraDoc>();
    doc->ResetToDefaults();
    return doc;
}

// Plays one action per round of the sheet: each round shows the sheet, records its
// active page, runs the action (which normally presses OK or Cancel) and reports what
// exec would have returned. A sheet left open, or a round beyond the script, is
// cancelled so that a test never loops for ever.
class SheetScript {
  public:
    using Action = std::function<void(PropertySheet&)>;

    explicit SheetScript(std::vector<Action> rounds) : rounds_(std::move(rounds)) {}

    SheetRunner Runner() {
        return [this](PropertySheet& sheet) {
            sheet.show();
            activePages_.push_back(sheet.ActivePage());
            const std::size_t round = rounds_run_++;
            if (round < rounds_.size())
                rounds_[round](sheet);
            if (sheet.isVisible())
                sheet.reject();
            return sheet.result();
        };
    }

    std::size_t RoundsRun() const { return rounds_run_; }
    const std::vector<int>& ActivePages() const { return activePages_; }

  private:
    std::vector<Action> rounds_;
    std::size_t rounds_run_ = 0;
    std::vector<int> activePages_;
};

inline void PressOk(PropertySheet& sheet) {
    QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
}
inline void PressCancel(PropertySheet& sheet) {
    QTest::mouseClick(sheet.CancelButton(), Qt::LeftButton);
}

} // namespace zentra::test
