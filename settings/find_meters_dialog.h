// "Find meters...": scans the nodes of the Communication page's line for meters with
// the page's port settings, lists each meter as it is found, and lets the user choose
// one for Node Number. Cancel stops the scan at once. The dialog opens and closes its
// own port; the scan itself is MeterScan's.
#pragma once

#include "comms/comm_settings.h"
#include "comms/meter_scan.h"

#include <QDialog>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace zentra {

class FindMetersDialog : public QDialog {
    Q_OBJECT
  public:
    FindMetersDialog(const CommSettings& settings, QWidget* parent = nullptr,
                     int first = kFirstScanNode, int last = kLastScanNode,
                     std::chrono::milliseconds window = kDefaultScanWindow);
    ~FindMetersDialog() override; // closes the port

    // Opens the port and begins the scan (called when the dialog is shown; tests call it
    // themselves). False, with the reason shown, when the port cannot be opened.
    bool Begin();

    // The node of the meter chosen (after OK), if any.
    std::optional<int> ChosenNode() const { return chosen_; }
    bool Scanning() const { return timer_.isActive(); }
    // The lines of the meters list, top first; the status line.
    std::vector<std::string> MeterLines() const;
    std::string StatusText() const;

    void reject() override; // Cancel: stops the scan and closes

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void StepScan();
    void Finish(const std::string& status);
    void UpdateChoice();
    void Choose();

    CommSettings settings_;
    int first_;
    int last_;
    std::chrono::milliseconds window_;
    PortHandle port_ = kInvalidPort;
    std::unique_ptr<MeterScan> scan_;
    std::vector<int> nodes_; // node of each list entry
    std::optional<int> chosen_;
    bool begun_ = false;
    QTimer timer_;

    QLabel* status_ = nullptr;
    QListWidget* meters_ = nullptr;
    QPushButton* use_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace zentra
