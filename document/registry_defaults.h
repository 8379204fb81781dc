// The user's defaults in the settings store: every new document reads them over its
// built-in defaults; "Set As Default" stores the project timing and the twelve graphs'
// display settings; the end of the program stores the serial link and the node.
// Values are raw copies of the fields' bytes (integers little-endian).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentra {

struct CZentraDoc;

inline constexpr std::string_view kIniKey = "Software\\Corvane\\Zentra\\ini";
inline constexpr std::string_view kProjectSettingsKey =
    "Software\\Corvane\\Zentra\\Settings\\ProjectSettings";
inline constexpr std::string_view kGraphicalDataKey =
    "Software\\Corvane\\Zentra\\Settings\\GraphicalData";

// "...\GraphicalData\Graph<n>" for n = 1..12 (record n-1).
std::string GraphKeyPath(int graphNumber);

// One stored slice of a graph record.
struct GraphValue {
    std::string_view name;
    std::size_t offset; // in the 728-byte record image
    std::size_t size;   // bytes
};
inline constexpr std::size_t kGraphValueCount = 16;
extern const GraphValue kGraphValues[kGraphValueCount];

// Reads every stored default into the document. Absent values, and values larger
// than their field, are not taken; a shorter value replaces only the field's first
// bytes. Opening creates the keys, so an empty store afterwards holds the key tree
// without values.
void LoadRegistryDefaults(CZentraDoc& doc);

// Writes the "ProjectSettings" values and the twelve graph keys. True when every
// value was written.
bool SaveRegistryDefaults(const CZentraDoc& doc);

// Writes "CommsSettings" and "ModbusNode". True when both were written.
bool SaveCommsSettings(const CZentraDoc& doc);

// The "Set As Default" command: asks the user and on Yes saves the defaults.
// True when they were saved.
bool OnSetAsDefault(const CZentraDoc& doc);

} // namespace zentra
