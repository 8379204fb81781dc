// "Comms": the serial link settings (node, port, baud, parity, stop bits, latency and
// float byte order), Connect, and the list of what the meter says about itself. After
// Connect the page runs its own short exchange on its own timer, one step per latency
// period: identity -> information -> readings layout -> timer stopped.
#pragma once

#include "acquisition/request_queue.h"
#include "settings/comm_page_data.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zentra {

class FindMetersDialog;
class PortDeviceDialog;

inline constexpr int kPageTimerId = 2;
// Separates a port name from its device in the port list ("COM1 — /dev/ttyUSB0").
inline constexpr const char* kPortDeviceSeparator = " \u2014 ";

class PortSetupPP : public QWidget {
    Q_OBJECT
  public:
    explicit PortSetupPP(const CommPageData& data, QWidget* parent = nullptr);
    // Stops the page timer and closes a port the page still holds.
    ~PortSetupPP() override;

    // Connect (button 1049).
    void OnConnect();
    // The page timer's handler.
    void IdentityPoll();
    // "Change device...": lets the user pick the device a COMn stands for.
    void OnChangeDevice();
    // "Find meters...": scans the line with the page's settings; the meter chosen fills
    // Node Number.
    void OnFindMeters();

    // The page's values as the controls show them now (node and latency read again).
    CommPageData Result() const;
    const CommPageData& Data() const { return data_; }

    PortHandle PagePort() const { return port_; }
    // Hands the open port over (kInvalidPort when none); the page no longer holds it.
    PortHandle TakePort();
    std::int32_t Connected() const { return connected_; }
    std::int32_t Busy() const { return busy_; }
    // kPageTimerId while the page timer is armed, else 0.
    int TimerId() const { return timer_.isActive() ? kPageTimerId : 0; }
    int TimerInterval() const { return timer_.interval(); }
    const PortAvailability& Available() const { return available_; }
    const RequestQueue& Queue() const { return queue_; }
    // The lines of the information list, top first.
    std::vector<std::string> InformationLines() const;

    // Seams for tests: how the device dialog is run (exec by default) and which
    // devices it offers (DeviceCandidates by default).
    using DeviceDialogRunner = std::function<int(PortDeviceDialog&)>;
    void SetDeviceDialogRunner(DeviceDialogRunner runner) { runDeviceDialog_ = std::move(runner); }
    void SetDeviceCandidates(std::function<std::vector<std::string>()> source) {
        candidates_ = std::move(source);
    }
    // How the "Find meters..." dialog is run (exec by default).
    using FindMetersRunner = std::function<int(FindMetersDialog&)>;
    void SetFindMetersRunner(FindMetersRunner runner) { runFindMeters_ = std::move(runner); }

  private:
    void BuildControls();
    void OnInitDialog();
    void FillPortList();
    // Reads every list's selection and the node and latency edits into `into`.
    void ReadControls(CommPageData& into) const;
    void AddLine(const std::string& line);
    void StopTimer();
    void SendNext(K760modbus& meter);
    void WarnFloatOrder();

    CommPageData data_;
    PortHandle port_ = kInvalidPort;
    std::int32_t connected_ = 0;
    std::int32_t busy_ = 0;
    PortAvailability available_{};
    RequestQueue queue_;
    QTimer timer_;
    bool polling_ = false; // inside IdentityPoll (a message box runs a nested loop)
    DeviceDialogRunner runDeviceDialog_;
    FindMetersRunner runFindMeters_;
    std::function<std::vector<std::string>()> candidates_;

    QLineEdit* node_ = nullptr;     // 1059
    QPushButton* findMeters_ = nullptr;
    QComboBox* portList_ = nullptr; // 1041
    QPushButton* changeDevice_ = nullptr;
    QComboBox* baud_ = nullptr;          // 1043
    QComboBox* parity_ = nullptr;        // 1045
    QComboBox* stopBits_ = nullptr;      // 1047
    QLineEdit* latency_ = nullptr;       // 1054
    QComboBox* floatOrder_ = nullptr;    // 1096
    QPushButton* connect_ = nullptr;     // 1049
    QListWidget* information_ = nullptr; // 1052
};

} // namespace zentra
