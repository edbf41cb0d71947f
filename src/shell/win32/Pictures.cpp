// Icons as 32-bit pictures with alpha, one pixel function each.
#include "shell/win32/Pictures.h"

#include <cstdint>
#include <functional>
#include <vector>

#include "shell/win32/IconPicture.h"

namespace vek::win32 {

namespace {

// Pixel colour as 0xAARRGGBB from the pixel's column and row.
using TPixelFunction = std::function<uint32_t(int x, int y)>;

HICON CreateIconFromPixels(int size, const TPixelFunction& pixel) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = size;
  header.bV5Height = -size;  // top-down rows
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!color) return nullptr;
  auto* out = static_cast<uint32_t*>(bits);
  std::vector<uint8_t> maskBits(static_cast<size_t>(((size + 15) / 16) * 2 * size), 0);
  const int maskStride = ((size + 15) / 16) * 2;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      uint32_t argb = pixel(x, y);
      // Colours premultiplied by their alpha, as the system draws them.
      const uint32_t a = argb >> 24;
      const uint32_t r = ((argb >> 16) & 0xFF) * a / 255, g = ((argb >> 8) & 0xFF) * a / 255, b = (argb & 0xFF) * a / 255;
      out[y * size + x] = (a << 24) | (r << 16) | (g << 8) | b;
      if (a == 0) maskBits[static_cast<size_t>(y * maskStride + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  HBITMAP mask = CreateBitmap(size, size, 1, 1, maskBits.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = color;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(color);
  DeleteObject(mask);
  return icon;
}

}  // namespace

HICON CreateApplicationIcon(int size) {
  return CreateIconFromPixels(size, [size](int x, int y) { return ApplicationIconPixel(size, x, y); });
}

HICON LoadProgramIcon(int size) {
  // The resource's name is set by the build (res/version.rc.in).
  HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
  return icon ? static_cast<HICON>(icon) : CreateApplicationIcon(size);
}

HICON CreateProgressIcon(int image, int size) {
  const bool failed = image >= TrayFrameCount;
  const int frame = image % TrayFrameCount;
  const uint32_t border = failed ? 0xFF801010 : 0xFF203050;
  const uint32_t dark = failed ? 0xFFC01818 : 0xFF24406C;
  const uint32_t light = failed ? 0xFFF8D8D8 : 0xFFDCE6F2;
  // Drawn on a grid of cells, each one or more pixels at larger sizes: a
  // border around one inner column per frame.
  constexpr int grid = TrayFrameCount + 2, last = grid - 1;
  return CreateIconFromPixels(size, [=](int px, int py) -> uint32_t {
    const int x = px * grid / size, y = py * grid / size;
    if (x == 0 || x == last || y == 0 || y == last) return (x == y || x + y == last) ? 0 : border;
    // Frame f darkens the first f + 1 inner columns.
    return x - 1 <= frame ? dark : light;
  });
}

}  // namespace vek::win32
