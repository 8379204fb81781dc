// "Project Description": the project's name, brief and full description, its start
// date (the end date follows it and is only shown) and whether the project panel is
// displayed. A locked project keeps its texts and start date read-only.
#pragma once

#include "settings/project_page_data.h"
#include "settings/property_sheet.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace zentra {

class ProjectPP : public QWidget, public SheetPage {
    Q_OBJECT
  public:
    explicit ProjectPP(const ProjectPageData& data, QWidget* parent = nullptr);

    // The page's fields with the texts as they stand in the controls.
    ProjectPageData Result() const;
    const ProjectPageData& Data() const { return data_; }

    // Close-up of one of the start-date lists (1037, 1035, 1033).
    void OnDateChanged();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildControls();
    void OnInitDialog();
    void FillStartLists();
    void ShowEndDate();

    ProjectPageData data_;
    QCheckBox* showCheck_ = nullptr;        // 1067
    QLineEdit* name_ = nullptr;             // 1038
    QComboBox* startDay_ = nullptr;         // 1037
    QComboBox* startMonth_ = nullptr;       // 1035
    QComboBox* startYear_ = nullptr;        // 1033
    QLabel* endDay_ = nullptr;              // 1129
    QLabel* endMonth_ = nullptr;            // 1131
    QLabel* endYear_ = nullptr;             // 1132
    QLineEdit* brief_ = nullptr;            // 1069
    QPlainTextEdit* description_ = nullptr; // 1002
};

} // namespace zentra
