// The program's icon, as the resource script embeds it: every size Windows picks from on
// screens of any scale, Microsoft's minimum set (16, 32, 48 and 256 pixels) and the sizes
// between, the 256-pixel image PNG-compressed and the others bitmaps.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t Little(const Bytes& bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes.at(at + std::size_t(i));
  return value;
}

TEST(Icon, HoldsEverySizeWindowsPicksFromWithTheLargestAsPng) {
  std::ifstream file(VELLORAN_ICON_FILE, std::ios::binary);
  ASSERT_TRUE(file) << VELLORAN_ICON_FILE;
  const Bytes icon{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  ASSERT_GE(icon.size(), 6u);
  EXPECT_EQ(0u, Little(icon, 0, 2));
  EXPECT_EQ(1u, Little(icon, 2, 2)) << "not an icon";
  const std::uint32_t count = Little(icon, 4, 2);
  ASSERT_GE(icon.size(), 6 + 16 * std::size_t(count));

  std::set<std::uint32_t> sizes;
  for (std::size_t entry = 6; entry < 6 + 16 * std::size_t(count); entry += 16) {
    // The directory writes 256 as 0.
    const std::uint32_t width = icon[entry] ? icon[entry] : 256;
    const std::uint32_t height = icon[entry + 1] ? icon[entry + 1] : 256;
    const std::uint32_t bytes = Little(icon, entry + 8, 4), offset = Little(icon, entry + 12, 4);
    SCOPED_TRACE(testing::Message() << width << " x " << height << " at " << offset);
    EXPECT_EQ(width, height);
    ASSERT_LE(std::uint64_t(offset) + bytes, icon.size());
    ASSERT_GE(bytes, 40u);
    const bool png = std::memcmp(&icon[offset], "\x89PNG\r\n\x1a\n", 8) == 0;
    EXPECT_EQ(width == 256, png) << "only the 256-pixel image is PNG-compressed";
    if (!png) {
      // A bitmap's header: its width, and twice its height (the colours, then the mask).
      EXPECT_EQ(width, Little(icon, offset + 4, 4));
      EXPECT_EQ(2 * height, Little(icon, offset + 8, 4));
    }
    sizes.insert(width);
  }
  EXPECT_EQ((std::set<std::uint32_t>{16, 20, 24, 32, 40, 48, 64, 256}), sizes);
}

}  // namespace
