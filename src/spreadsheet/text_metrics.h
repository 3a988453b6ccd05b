#pragma once
// How wide texts and columns are on screen. Column widths count characters
// of the default font (maximum digit width 7 pixels, 5 pixels of padding);
// files store them in whole pixels.

#include <string_view>

namespace zbir::workbook::metrics {

constexpr double kDefaultColumnWidth = 8.43;
constexpr double kMaxColumnWidth = 255;
constexpr double kDefaultRowHeight = 15;  // points
constexpr double kMaxRowHeight = 409;
constexpr double kDefaultFontSize = 11;

// Pixel width of a Windows-1250 text in the default font at `fontSize` points.
int textPixels(std::string_view text, double fontSize);

// Pixels a column of `width` characters takes on screen.
int columnPixels(double width);

// The width in characters a spreadsheet reports for a column of `pixels`
// (two decimals): 2 pixels give 0.17.
double widthOfPixels(int pixels);

// A width as stored in a file (the file format's character units, from
// whole pixels) to the width a spreadsheet reports for it.
double widthFromFile(double fileWidth);

// Width that AutoFit gives a column whose widest text is `textPixels` wide.
double autoFitWidth(int textPixels);

}  // namespace zbir::workbook::metrics
