// Helpers shared by the document tests: whole files as bytes, folder entry counts, a
// project image, and little-endian field access written independently of the
// production codec.
#pragma once

#include "document/project_file.h"

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace zentra::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Entries of a folder; 0 when there is no such folder.
inline std::size_t FilesIn(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return 0;
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

inline std::unique_ptr<CZentraDoc> NewDocument() {
    auto doc = std::make_unique<CZentraDoc>();
    doc->OnNewDocument();
    return doc;
}

// The whole project file image of `doc`.
inline Bytes StoreImage(CZentraDoc& doc) {
    Bytes image(kProjectFileSize, 0xEE);
    SerializeStore(doc, image.data());
    return image;
}

inline std::uint64_t Raw(const Bytes& b, std::size_t at, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = width; i-- > 0;)
        v = (v << 8) | b.at(at + i);
    return v;
}
inline std::int32_t I32(const Bytes& b, std::size_t at) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(Raw(b, at, 4)));
}
inline std::int64_t I64(const Bytes& b, std::size_t at) {
    return static_cast<std::int64_t>(Raw(b, at, 8));
}
inline double F64(const Bytes& b, std::size_t at) {
    return std::bit_cast<double>(Raw(b, at, 8));
}
inline float F32(const Bytes& b, std::size_t at) {
    return std::bit_cast<float>(static_cast<std::uint32_t>(Raw(b, at, 4)));
}

inline void Put(Bytes& b, std::size_t at, std::uint64_t v, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutI32(Bytes& b, std::size_t at, std::int32_t v) {
    Put(b, at, static_cast<std::uint32_t>(v), 4);
}
inline void PutI64(Bytes& b, std::size_t at, std::int64_t v) {
    Put(b, at, static_cast<std::uint64_t>(v), 8);
}
inline void PutF64(Bytes& b, std::size_t at, double v) {
    Put(b, at, std::bit_cast<std::uint64_t>(v), 8);
}

} // namespace zentra::test
