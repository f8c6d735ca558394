// The busy picture as the program embeds it, read back with giflib.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <cstring>
#include <memory>

namespace {

struct Reader {
  QByteArray bytes;
  qsizetype at = 0;
};

int ReadBytes(GifFileType* gif, GifByteType* into, int count) {
  auto* reader = static_cast<Reader*>(gif->UserData);
  const int n = static_cast<int>(std::min<qsizetype>(count, reader->bytes.size() - reader->at));
  std::memcpy(into, reader->bytes.constData() + reader->at, static_cast<std::size_t>(n));
  reader->at += n;
  return n;
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

TEST(BusyPictureTest, IsALoopingGreySpinnerOf30FramesAt70Ms) {
  QFile file(QStringLiteral(":/quibo/busy.gif"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  Reader reader{file.readAll()};
  ASSERT_TRUE(reader.bytes.startsWith("GIF89a"));
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, &ReadBytes, &error));
  ASSERT_NE(gif, nullptr) << GifErrorString(error);
  ASSERT_EQ(DGifSlurp(gif.get()), GIF_OK) << GifErrorString(gif->Error);

  EXPECT_EQ(gif->SWidth, 100);
  EXPECT_EQ(gif->SHeight, 100);
  ASSERT_NE(gif->SColorMap, nullptr);
  EXPECT_EQ(gif->SColorMap->ColorCount, 256);
  for (int i = 0; i < 256; ++i) {
    const GifColorType c = gif->SColorMap->Colors[i];
    EXPECT_TRUE(c.Red == c.Green && c.Green == c.Blue) << "colour " << i << " is not grey";
  }
  ASSERT_EQ(gif->ImageCount, 30);

  bool loops = false;
  for (int i = 0; i + 1 < gif->SavedImages[0].ExtensionBlockCount; ++i) {
    const ExtensionBlock& block = gif->SavedImages[0].ExtensionBlocks[i];
    if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
        std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0) {
      const ExtensionBlock& data = gif->SavedImages[0].ExtensionBlocks[i + 1];
      loops = data.ByteCount == 3 && data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0;
    }
  }
  EXPECT_TRUE(loops) << "no NETSCAPE2.0 block that loops forever";

  for (int frame = 0; frame < gif->ImageCount; ++frame) {
    SCOPED_TRACE(frame);
    GraphicsControlBlock control;
    ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), frame, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 7);
    EXPECT_EQ(control.TransparentColor, 31);
    EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT);
    const SavedImage& image = gif->SavedImages[frame];
    EXPECT_EQ(image.ImageDesc.Width, 100);
    EXPECT_EQ(image.ImageDesc.Height, 100);
    // A spinner on a transparent ground: corners and centre transparent,
    // some bars drawn, and the frame differs from the one before.
    const GifByteType* pixels = image.RasterBits;
    EXPECT_EQ(pixels[0], 31);
    EXPECT_EQ(pixels[50 * 100 + 50], 31);
    int drawn = 0;
    for (int i = 0; i < 100 * 100; ++i) drawn += pixels[i] != 31;
    EXPECT_GT(drawn, 500);
    if (frame > 0) {
      EXPECT_NE(std::memcmp(pixels, gif->SavedImages[frame - 1].RasterBits, 100 * 100), 0);
    }
  }
}

}  // namespace
