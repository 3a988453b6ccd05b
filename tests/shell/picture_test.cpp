#include "shell/picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

using zbir::shell::decodeJpeg;
using zbir::shell::embeddedPicture;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes encodeGrey(int width, int height, unsigned char value)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    Bytes row(static_cast<size_t>(width), value);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(buf, buf + size);
    jpeg_destroy_compress(&c);
    std::free(buf);
    return out;
}

// Rewrites the frame size in the start-of-frame marker.
void setFrameSize(Bytes& jpeg, unsigned width, unsigned height)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<unsigned char>(height >> 8);
            jpeg[i + 6] = static_cast<unsigned char>(height);
            jpeg[i + 7] = static_cast<unsigned char>(width >> 8);
            jpeg[i + 8] = static_cast<unsigned char>(width);
            return;
        }
    }
    FAIL() << "no start-of-frame marker";
}

}  // namespace

TEST(Picture, TheBuiltInPictureDecodes)
{
    const auto data = embeddedPicture();
    ASSERT_FALSE(data.empty());
    std::string error;
    const auto pic = decodeJpeg(data, &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(pic.width, 150);
    EXPECT_EQ(pic.height, 150);
    ASSERT_EQ(pic.rgb.size(), 150u * 150u * 3u);
    // A drawing, not a flat field.
    EXPECT_NE(pic.rgb[0], pic.rgb[3 * (75 * 150 + 75)]);
}

TEST(Picture, GreyPicturesComeOutAsRgb)
{
    const auto pic = decodeJpeg(encodeGrey(8, 4, 200));
    ASSERT_EQ(pic.width, 8);
    ASSERT_EQ(pic.height, 4);
    ASSERT_EQ(pic.rgb.size(), 8u * 4u * 3u);
    for (size_t i = 0; i < pic.rgb.size(); i += 3) {
        EXPECT_EQ(pic.rgb[i], pic.rgb[i + 1]);
        EXPECT_EQ(pic.rgb[i], pic.rgb[i + 2]);
        EXPECT_NEAR(pic.rgb[i], 200, 2);
    }
}

TEST(Picture, BadDataGivesNoPictureAndAReason)
{
    const auto builtIn = embeddedPicture();
    const Bytes headerOnly(builtIn.begin(), builtIn.begin() + 20);
    const std::string text = "<JPK>not a picture</JPK>";
    const Bytes notJpeg(text.begin(), text.end());
    Bytes huge = encodeGrey(8, 8, 0);
    setFrameSize(huge, 9000, 9000);
    Bytes empty = encodeGrey(8, 8, 0);
    setFrameSize(empty, 0, 8);

    const struct {
        const char* name;
        Bytes data;
    } cases[] = {{"nothing", {}}, {"header only", headerOnly}, {"not a JPEG", notJpeg},
                 {"9000 pixels a side", huge}, {"no columns", empty}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto pic = decodeJpeg(c.data, &error);
        EXPECT_TRUE(pic.empty());
        EXPECT_EQ(pic.width, 0);
        EXPECT_FALSE(error.empty());
    }
}

TEST(Picture, ACutOffPictureKeepsItsSize)
{
    const auto builtIn = embeddedPicture();
    const Bytes half(builtIn.begin(), builtIn.begin() + static_cast<long>(builtIn.size() / 2));
    const auto pic = decodeJpeg(half);
    EXPECT_EQ(pic.width, 150);
    EXPECT_EQ(pic.height, 150);
    EXPECT_EQ(pic.rgb.size(), 150u * 150u * 3u);
}
