// The program's icon as a picture: a white "V" on a blue square with rounded
// corners, one pixel at a time at any size. Plain arithmetic without the
// window system, so that the build can draw the icon resource with the same
// code the window uses.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vek::win32 {

namespace picture {

inline double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// Inside a square with rounded corners, in units of the picture's side.
inline bool InRoundedSquare(double u, double v, double radius) {
  const double cx = u < radius ? radius : (u > 1 - radius ? 1 - radius : u);
  const double cy = v < radius ? radius : (v > 1 - radius ? 1 - radius : v);
  return std::hypot(u - cx, v - cy) <= radius;
}

}  // namespace picture

// The colour (0xAARRGGBB, not premultiplied) of pixel x, y of the icon drawn
// size pixels square.
inline uint32_t ApplicationIconPixel(int size, int x, int y) {
  const double u = (x + 0.5) / size, v = (y + 0.5) / size;
  if (!picture::InRoundedSquare(u, v, 0.2)) return 0;
  const double d = std::min(picture::SegmentDistance(u, v, 0.24, 0.24, 0.5, 0.78),
                            picture::SegmentDistance(u, v, 0.76, 0.24, 0.5, 0.78));
  if (d < 0.085) return 0xFFFFFFFF;
  return v < 0.5 ? 0xFF2F6FC0 : 0xFF1E56A0;
}

}  // namespace vek::win32
