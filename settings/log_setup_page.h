// "Logging Setup": which parameters are printable, the logging frequency and duration
// with their units, an optional delayed start, and the resulting number of samples.
// A locked project shows its timing read-only; the parameter lists stay usable.
#pragma once

#include "settings/log_setup_data.h"
#include "settings/log_setup_lists.h"
#include "settings/property_sheet.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zentra {

inline constexpr const char* kListFullText = "List Full";
inline constexpr const char* kListFullCaption = "The list is full";

class LogSetupPP : public QWidget, public SheetPage {
    Q_OBJECT
  public:
    explicit LogSetupPP(const LogSetupData& data, QWidget* parent = nullptr);

    // Refuses to be left while the frequency or duration is not 1..100000.
    bool OnKillActive() override;

    // What the page hands back as it closes (call after OnKillActive agreed): the
    // printable labels, stored values and units, and the computed seconds, sample
    // count and settingsValid.
    LogSetupData Result() const;
    const LogSetupData& Data() const { return data_; }
    const ParameterLists& Lists() const { return lists_; }

    void OnMoveRight(); // ">>"
    void OnMoveLeft();  // "<<"
    void OnClear();     // "Clear"
    void OnDateTimeChanged();
    void UpdateSampleLine();

  private:
    void BuildControls();
    void OnInitDialog();
    void FillDateTimeLists(int day, int month, int year);
    void ApplyDelayedStart();
    void ShowLists();
    bool CheckRange(QLineEdit& edit, const char* name);

    LogSetupData data_;
    ParameterLists lists_;
    QListWidget* availableList_ = nullptr; // 1094
    QListWidget* printableList_ = nullptr; // 1096
    QComboBox* day_ = nullptr;             // 1115
    QComboBox* month_ = nullptr;           // 1113
    QComboBox* year_ = nullptr;            // 1117
    QComboBox* hour_ = nullptr;            // 1119
    QComboBox* minute_ = nullptr;          // 1121
    QComboBox* second_ = nullptr;          // 1123
    QCheckBox* delayed_ = nullptr;         // 1125
    QLineEdit* frequency_ = nullptr;       // 1104
    QComboBox* frequencyUnit_ = nullptr;   // 1108
    QLineEdit* duration_ = nullptr;        // 1106
    QComboBox* durationUnit_ = nullptr;    // 1110
    QLabel* samples_ = nullptr;            // 1127
};

} // namespace zentra
