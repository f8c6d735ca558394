// Writes quibo's busy picture: a GIF89a of 100 x 100 pixels, a grey spinner
// of ten bars around the centre whose shades run round, 30 frames of 70 ms,
// looping forever, a 256-grey palette with index 31 transparent, each frame
// left in place for the next.
//
//   make_busy_gif OUTPUT.gif
#include <gif_lib.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kSize = 100;
constexpr int kFrames = 30;
constexpr int kDelayCentiseconds = 7;
constexpr int kTransparent = 31;
constexpr int kBars = 10;
constexpr double kInner = 20.0;  // where a bar starts, from the centre
constexpr double kOuter = 44.0;  // where it ends
constexpr double kHalfWidth = 4.0;

// The grey of bar `bar` in `frame`: the leading bar darkest, the ones behind
// it fading to a light grey; it never is the transparent index.
int BarShade(int bar, int frame) {
  const int stepsPerBar = kFrames / kBars;
  const int phase = ((bar * stepsPerBar - frame) % kFrames + kFrames) % kFrames;
  return 72 + phase * (220 - 72) / (kFrames - 1);
}

// The palette index of pixel (x, y) in `frame`.
int PixelAt(int x, int y, int frame) {
  const double cx = x + 0.5 - kSize / 2.0;
  const double cy = y + 0.5 - kSize / 2.0;
  for (int bar = 0; bar < kBars; ++bar) {
    const double angle = 2 * std::numbers::pi * bar / kBars;
    const double ux = std::sin(angle);
    const double uy = -std::cos(angle);
    const double along = cx * ux + cy * uy;
    const double across = std::abs(cx * -uy + cy * ux);
    // A bar with rounded ends: a segment widened by kHalfWidth.
    const double clamped = std::fmin(std::fmax(along, kInner), kOuter);
    const double dx = along - clamped;
    if (dx * dx + across * across <= kHalfWidth * kHalfWidth) return BarShade(bar, frame);
  }
  return kTransparent;
}

bool WriteGif(const char* path) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path, false, &error);
  if (gif == nullptr) return false;
  EGifSetGifVersion(gif, true);
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 256; ++i) {
    const auto grey = static_cast<GifByteType>(i);
    colours[static_cast<std::size_t>(i)] = {grey, grey, grey};
  }
  ColorMapObject* palette = GifMakeMapObject(256, colours.data());
  bool ok = palette != nullptr &&
            EGifPutScreenDesc(gif, kSize, kSize, 8, kTransparent, palette) == GIF_OK;
  // NETSCAPE2.0: loop forever.
  static GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static GifByteType loop[] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
       EGifPutExtensionBlock(gif, sizeof netscape, netscape) == GIF_OK &&
       EGifPutExtensionBlock(gif, sizeof loop, loop) == GIF_OK &&
       EGifPutExtensionTrailer(gif) == GIF_OK;
  std::vector<GifPixelType> row(kSize);
  for (int frame = 0; ok && frame < kFrames; ++frame) {
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.DelayTime = kDelayCentiseconds;
    control.TransparentColor = kTransparent;
    control.UserInputFlag = false;
    GifByteType extension[4];
    const std::size_t length = EGifGCBToExtension(&control, extension);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) ==
             GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, kSize, kSize, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x)
        row[static_cast<std::size_t>(x)] = static_cast<GifPixelType>(PixelAt(x, y, frame));
      ok = EGifPutLine(gif, row.data(), kSize) == GIF_OK;
    }
  }
  GifFreeMapObject(palette);
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_busy_gif OUTPUT.gif\n");
    return 2;
  }
  if (!WriteGif(argv[1])) {
    std::fprintf(stderr, "make_busy_gif: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
