#include "export/figurefile.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>

namespace {

constexpr double kMmPerInch = 25.4;
// The PNG's pHYs chunk counts pixels per metre: 300 / 0.0254, rounded.
constexpr std::uint32_t kPngPixelsPerMetre = 11811;
// The PNG signature and the IHDR chunk (length, type, 13 bytes of data, CRC) come first.
constexpr std::size_t kPngHeaderBytes = 8 + 4 + 4 + 13 + 4;

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

void PutBigEndian(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// The pHYs chunk that tells readers the pixels are 1/300 inch.
std::string ResolutionChunk() {
  std::string chunk;
  PutBigEndian(chunk, 9);
  const std::size_t typeAt = chunk.size();
  chunk += "pHYs";
  PutBigEndian(chunk, kPngPixelsPerMetre);
  PutBigEndian(chunk, kPngPixelsPerMetre);
  chunk += '\1';  // the unit is the metre
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(chunk.data() + typeAt), 4 + 9);
  PutBigEndian(chunk, static_cast<std::uint32_t>(crc));
  return chunk;
}

// Paints a white page and the figure on a fresh context of `surface`; false when Cairo failed.
bool PaintOn(cairo_surface_t* surface, double scale, FigureSize size, const FigurePainter& paint) {
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  paint(cr, size.WidthPt(), size.HeightPt());
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  return ok;
}

std::string RenderSvg(FigureSize size, const FigureText& text, const FigurePainter& paint) {
  std::string bytes;
  cairo_surface_t* surface = cairo_svg_surface_create_for_stream(AppendBytes, &bytes, size.WidthPt(), size.HeightPt());
  cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
  bool ok = PaintOn(surface, 1.0, size, paint);
  cairo_surface_finish(surface);
  ok = ok && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) return {};
  // Cairo writes text as outlines; the title and description say in words what the figure shows.
  const std::size_t root = bytes.find("<svg");
  const std::size_t rootEnd = root == std::string::npos ? root : bytes.find('>', root);
  if (rootEnd == std::string::npos) return {};
  bytes.insert(rootEnd + 1, "\n<title>" + XmlEscaped(text.title) + "</title>\n<desc>" +
                                XmlEscaped(text.description) + "</desc>");
  return bytes;
}

std::string RenderPdf(FigureSize size, const FigureText& text, const FigurePainter& paint) {
  std::string bytes;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(AppendBytes, &bytes, size.WidthPt(), size.HeightPt());
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, text.title.c_str());
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_SUBJECT, text.description.c_str());
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "Varnel " VARNEL_VERSION);
  bool ok = PaintOn(surface, 1.0, size, paint);
  cairo_surface_finish(surface);
  ok = ok && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok ? bytes : std::string();
}

std::string RenderPng(FigureSize size, const FigurePainter& paint) {
  const int width = PixelsAt300Dpi(size.widthMm), height = PixelsAt300Dpi(size.heightMm);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  // The page is drawn in points; the raster has 300 / 72 pixels per point.
  bool ok = PaintOn(surface, kPngDotsPerInch / 72.0, size, paint);
  std::string bytes;
  ok = ok && cairo_surface_write_to_png_stream(surface, AppendBytes, &bytes) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok || bytes.size() < kPngHeaderBytes) return {};
  bytes.insert(kPngHeaderBytes, ResolutionChunk());
  return bytes;
}

}  // namespace

int PixelsAt300Dpi(double mm) { return static_cast<int>(std::lround(mm / kMmPerInch * kPngDotsPerInch)); }

std::string RenderFigure(FigureFormat format, FigureSize size, const FigureText& text, const FigurePainter& paint) {
  switch (format) {
    case FigureFormat::Svg: return RenderSvg(size, text, paint);
    case FigureFormat::Pdf: return RenderPdf(size, text, paint);
    case FigureFormat::Png: return RenderPng(size, paint);
  }
  return {};
}
