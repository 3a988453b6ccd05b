#include "shell/picture.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace zbir::shell {

namespace {

constexpr unsigned kMaxSide = 8192;

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the decoder's set-up point.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void quietMessage(j_common_ptr) {}

// Only plain C data lives in this frame, so the jump skips no destructor;
// `pic` belongs to the caller and stays consistent between libjpeg calls.
bool decodeInto(jpeg_decompress_struct& cinfo, ErrorManager& err,
                std::span<const unsigned char> data, Picture& pic)
{
    if (setjmp(err.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxSide ||
        cinfo.image_height > kMaxSide) {
        std::snprintf(err.message, sizeof err.message, "picture of %ux%u pixels refused",
                      cinfo.image_width, cinfo.image_height);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = std::size_t{cinfo.output_width} * 3;
    pic.width = static_cast<int>(cinfo.output_width);
    pic.height = static_cast<int>(cinfo.output_height);
    pic.rgb.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pic.rgb.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

Picture decodeJpeg(std::span<const unsigned char> data, std::string* error)
{
    Picture pic;
    if (data.empty()) {
        if (error)
            *error = "no picture data";
        return pic;
    }
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = quietMessage;
    const bool ok = decodeInto(cinfo, err, data, pic);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        if (error)
            *error = err.message;
        return Picture{};
    }
    return pic;
}

}  // namespace zbir::shell
