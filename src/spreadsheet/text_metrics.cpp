#include "spreadsheet/text_metrics.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zbir::workbook::metrics {
namespace {

constexpr int kDigitPixels = 7;
constexpr int kPadding = 5;
constexpr int kCellMargin = 5;  // AutoFit's room beside the text
constexpr double kMaxPixels = 1 << 30;

// Advance widths in pixels of the default 11-point font, ' ' to '~'.
constexpr std::array<unsigned char, 95> kAscii = {
    3, 3, 5, 7, 7, 10, 10, 3, 4, 4, 7, 7, 3, 4, 3, 5,       // space ! " # $ % & ' ( ) * + , - . /
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7,                         // 0-9
    3, 3, 7, 7, 7, 6, 12,                                 // : ; < = > ? @
    8, 8, 8, 9, 7, 7, 9, 9, 3, 4, 8, 6, 12, 9, 9, 7, 10,  // A-Q
    8, 6, 7, 9, 8, 13, 7, 7, 7,                           // R-Z
    4, 5, 4, 7, 7, 4,                                     // [ \ ] ^ _ `
    7, 7, 6, 7, 7, 4, 7, 7, 3, 3, 6, 3, 11, 7, 7, 7, 7,   // a-q
    5, 5, 4, 7, 6, 10, 6, 6, 5,                           // r-z
    4, 6, 4, 7};                                          // { | } ~

// Upper half of the code page: letters take their base letter's width.
int upperHalfPixels(unsigned char c)
{
    switch (c) {
    case 0xA5: case 0xC1: case 0xC2: case 0xC3: case 0xC4: return 8;   // A with marks
    case 0xC6: case 0xC7: case 0xC8: return 8;                         // C
    case 0xCA: case 0xC9: case 0xCB: case 0xCC: return 7;              // E
    case 0xA3: case 0xC5: case 0xBC: return 6;                         // L
    case 0xD1: case 0xD2: return 9;                                    // N
    case 0xD3: case 0xD4: case 0xD5: case 0xD6: return 9;              // O
    case 0x8C: case 0x8A: case 0xAA: return 6;                         // S
    case 0x8F: case 0xAF: case 0x8E: return 7;                         // Z
    case 0xB9: case 0xE1: case 0xE2: case 0xE3: case 0xE4: return 7;   // a
    case 0xE6: case 0xE7: case 0xE8: return 6;                         // c
    case 0xEA: case 0xE9: case 0xEB: case 0xEC: return 7;              // e
    case 0xB3: case 0xE5: case 0xBE: return 3;                         // l
    case 0xF1: case 0xF2: return 7;                                    // n
    case 0xF3: case 0xF4: case 0xF5: case 0xF6: return 7;              // o
    case 0x9C: case 0x9A: case 0xBA: return 5;                         // s
    case 0x9F: case 0xBF: case 0x9E: return 5;                         // z
    case 0xA0: return 3;                                               // no-break space
    case 0x96: return 7;                                               // en dash
    case 0x97: return 13;                                              // em dash
    case 0x84: case 0x93: case 0x94: return 5;                         // quotes
    default: return 7;
    }
}

}  // namespace

int textPixels(std::string_view text, double fontSize)
{
    long units = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F)
            units += kAscii[c - 0x20];
        else if (c >= 0x80)
            units += upperHalfPixels(c);
    }
    // A font size comes from a file: the width stays within what an int holds.
    const double pixels = std::ceil(static_cast<double>(units) * fontSize / kDefaultFontSize);
    return pixels > 0 ? static_cast<int>(std::min(pixels, kMaxPixels)) : 0;
}

int columnPixels(double width)
{
    if (!(width > 0))
        return 0;
    width = std::min(width, kMaxColumnWidth);
    if (width < 1)
        return static_cast<int>(width * (kDigitPixels + kPadding) + 0.5);
    return static_cast<int>(width * kDigitPixels + 0.5) + kPadding;
}

double widthOfPixels(int pixels)
{
    if (pixels <= 0)
        return 0;
    pixels = std::min(pixels, columnPixels(kMaxColumnWidth));
    double chars = pixels < kDigitPixels + kPadding ? static_cast<double>(pixels) / (kDigitPixels + kPadding)
                                                    : static_cast<double>(pixels - kPadding) / kDigitPixels;
    return std::floor(chars * 100 + 0.5) / 100;
}

double widthFromFile(double fileWidth)
{
    if (!(fileWidth > 0))
        return 0;
    // Widths beyond the widest column a sheet allows are read as that.
    fileWidth = std::min(fileWidth, kMaxColumnWidth + 1);
    constexpr int kRounding = 128 / kDigitPixels;
    double pixels = (256 * fileWidth + kRounding) / 256 * kDigitPixels;
    return widthOfPixels(static_cast<int>(std::floor(pixels + 1e-9)));
}

double autoFitWidth(int textPixels)
{
    return widthOfPixels(std::min(textPixels, static_cast<int>(kMaxPixels)) + kCellMargin);
}

}  // namespace zbir::workbook::metrics
