// Writes the program's icon file for the Windows resources: the picture the
// window draws (shell/win32/IconPicture.h) at 16, 32 and 48 pixels as 32-bit
// bitmaps with alpha and at 256 pixels as PNG, as Windows keeps large icons.
// Built and run on the build machine:  make-icon OUT.ico
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/win32/IconPicture.h"

namespace {

using TBytes = std::vector<uint8_t>;

void Put16(TBytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(TBytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put32BigEndian(TBytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// BITMAPINFOHEADER, the colour rows bottom-up as BGRA, then the 1-bit mask
// (set where the picture is transparent), rows padded to 32 bits.
TBytes BitmapImage(int size) {
  TBytes out;
  const uint32_t maskStride = static_cast<uint32_t>((size + 31) / 32 * 4);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(size));
  Put32(out, static_cast<uint32_t>(size * 2));  // colour and mask
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(size * size * 4) + maskStride * static_cast<uint32_t>(size));
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (int y = size - 1; y >= 0; --y)
    for (int x = 0; x < size; ++x) Put32(out, vek::win32::ApplicationIconPixel(size, x, y));
  for (int y = size - 1; y >= 0; --y) {
    TBytes row(maskStride, 0);
    for (int x = 0; x < size; ++x)
      if ((vek::win32::ApplicationIconPixel(size, x, y) >> 24) == 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

void PngChunk(TBytes& out, const char* type, const TBytes& data) {
  Put32BigEndian(out, static_cast<uint32_t>(data.size()));
  TBytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  Put32BigEndian(out, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

TBytes PngImage(int size) {
  TBytes raw;
  for (int y = 0; y < size; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < size; ++x) {
      const uint32_t argb = vek::win32::ApplicationIconPixel(size, x, y);
      for (int shift : {16, 8, 0, 24}) raw.push_back(static_cast<uint8_t>(argb >> shift));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  TBytes packed(packedSize);
  compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);
  TBytes header;
  Put32BigEndian(header, static_cast<uint32_t>(size));
  Put32BigEndian(header, static_cast<uint32_t>(size));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA
  TBytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PngChunk(out, "IHDR", header);
  PngChunk(out, "IDAT", packed);
  PngChunk(out, "IEND", {});
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-icon OUT.ico\n");
    return 2;
  }
  const int sizes[] = {16, 32, 48, 256};
  std::vector<TBytes> images;
  for (int size : sizes) images.push_back(size == 256 ? PngImage(size) : BitmapImage(size));
  TBytes file;
  Put16(file, 0);
  Put16(file, 1);  // an icon
  Put16(file, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    file.push_back(static_cast<uint8_t>(sizes[i] % 256));  // 0 stands for 256
    file.push_back(static_cast<uint8_t>(sizes[i] % 256));
    Put16(file, 0);  // no palette
    Put16(file, 1);
    Put16(file, 32);
    Put32(file, static_cast<uint32_t>(images[i].size()));
    Put32(file, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const TBytes& image : images) file.insert(file.end(), image.begin(), image.end());
  FILE* out = std::fopen(argv[1], "wb");
  if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
