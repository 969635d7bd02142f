// The file formats of a figure.
#pragma once

enum class FigureFormat { Svg, Pdf, Png };

// The file name extension of a format, without the point.
const char* FormatExtension(FigureFormat format);
