// "Port Device": chooses which device one of COM1..COM9 stands for on this machine,
// for example a /dev/serial/by-id path that stays the same when the adapter is
// plugged into another socket, or the network address of a serial device server
// (tcp://HOST:PORT) or Modbus TCP gateway (modbus-tcp://HOST:PORT). The choice is kept in the
// user's port map; "automatic" removes it so that the name takes the next device found.
#pragma once

#include <QDialog>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace zentra {

inline constexpr const char* kAutomaticDevice = "(automatic: next device found)";
inline constexpr const char* kSerialByIdFolder = "/dev/serial/by-id";

// Devices worth offering: the stable links in the by-id folder, sorted, then the
// detected devices not already named.
std::vector<std::string> DeviceCandidates(const std::filesystem::path& byIdFolder,
                                          std::vector<std::string> detected);
// The same for this machine: kSerialByIdFolder and the devices the serial layer finds.
std::vector<std::string> DeviceCandidates();

// Where COMn's device comes from, in words: the environment, the user's choice or
// detection, with the device (or that there is none).
std::string DeviceSourceText(int comNumber);

class PortDeviceDialog : public QDialog {
    Q_OBJECT
  public:
    PortDeviceDialog(int comNumber, const std::vector<std::string>& candidates,
                     QWidget* parent = nullptr);

    int ComNumberChosen() const;
    // nullopt for automatic, otherwise the device path or address as entered.
    std::optional<std::string> DeviceChosen() const;
    // True when the entry can be stored (automatic, an absolute path or a valid address).
    bool ChoiceUsable() const;

    // OK: stores the choice in the port map; a failed write is reported and keeps
    // the dialog open.
    void accept() override;

  private:
    void ShowPort();
    void CheckEntry();

    QComboBox* port_ = nullptr;
    QComboBox* device_ = nullptr;
    QLabel* current_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace zentra
