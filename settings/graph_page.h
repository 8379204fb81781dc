// One page of the "Graph Settings" sheet: four columns, one per graph, with what each
// graph plots (three traces and their colours) and how it is shown and scaled.
//
// The page edits a GraphPageData owned by the caller, which must outlive the page:
// the check boxes, radio buttons and lists act on it at once, OnOK reads the lists, and
// the destructor carries the number edits into it. A page that was never shown leaves
// the data exactly as it was loaded.
#pragma once

#include "settings/graph_page_data.h"
#include "settings/property_sheet.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QShowEvent;

namespace zentra {

class GraphPP : public QWidget, public SheetPage {
    Q_OBJECT
  public:
    explicit GraphPP(GraphPageData& data, QWidget* parent = nullptr);
    // The final synchronise: a page that was opened leaves its edits' numbers in the data.
    ~GraphPP() override;

    // Refuses to be left while a "Y Scale" or "Time Base Unit" edit holds anything
    // but a whole number in range; the user is told and the focus is put there.
    bool OnKillActive() override;
    // OK pressed: every trace row's colour, source and heading into the data.
    void OnOK();

    bool Opened() const { return opened_; }
    const GraphPageData& Data() const { return data_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Column {
        QGroupBox* title = nullptr;
        std::array<QComboBox*, kTracesPerGraph> source{};
        std::array<QComboBox*, kTracesPerGraph> colour{};
        QCheckBox* gridY = nullptr;
        QCheckBox* centreZero = nullptr;
        QCheckBox* relative = nullptr;
        QLineEdit* yScale = nullptr;
        QCheckBox* gridX = nullptr;
        QRadioButton* realTime = nullptr;
        QRadioButton* logMode = nullptr;
        QRadioButton* graph = nullptr;
        QRadioButton* text = nullptr;
        QLineEdit* timeBase = nullptr;
        QCheckBox* enable = nullptr;
    };

    QGroupBox* BuildColumn(int j);
    void Connect(int j);
    void OnInitDialog();
    void Synchronise();
    void ReadTraceRows();
    bool CheckColumn(int j);

    GraphPageData& data_;
    std::array<Column, kGraphsPerPage> columns_{};
    bool opened_ = false;
};

} // namespace zentra
