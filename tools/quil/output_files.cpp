#include "output_files.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bmp_encoder.h"
#include "png_encoder.h"
#include "rgb_image.h"
#include "test_pattern.h"

namespace quil {
namespace {

constexpr std::size_t kRecordFileSize = 4096;

bool WriteWholeFile(const char* path, const std::uint8_t* data, std::size_t size) {
    if (path == nullptr || path[0] == '\0') return false;
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace

bool WantsPng(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length < 4) return false;
    const char* extension = path + length - 4;
    return extension[0] == '.' && std::tolower(static_cast<unsigned char>(extension[1])) == 'p' &&
           std::tolower(static_cast<unsigned char>(extension[2])) == 'n' &&
           std::tolower(static_cast<unsigned char>(extension[3])) == 'g';
}

bool WritePictureFile(const char* path, std::int32_t channel) {
    // About 57 KiB of pixels: on the heap, not the stack of a window procedure.
    std::vector<RgbImage> image(1);
    DrawTestPattern(channel, image[0]);
    const std::vector<std::uint8_t> bytes = WantsPng(path) ? EncodePng(image[0]) : EncodeBmp(image[0]);
    return WriteWholeFile(path, bytes.data(), bytes.size());
}

bool WriteRecordFile(const char* path, std::int32_t channel, std::int32_t tag) {
    std::vector<std::uint8_t> bytes(kRecordFileSize);
    const int header = std::snprintf(reinterpret_cast<char*>(bytes.data()), bytes.size(),
                                     "QUIL RECORD channel=%ld tag=%ld\r\n", static_cast<long>(channel),
                                     static_cast<long>(tag));
    // Filler that looks like data, not like text.
    for (std::size_t i = static_cast<std::size_t>(header); i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    return WriteWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace quil
