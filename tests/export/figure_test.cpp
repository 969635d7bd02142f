// The figures as files: well-formed SVG with its titles, PDF that renders and holds its text,
// PNG of the journal size at 300 dots per inch, and the map's cells in the colour-table colour
// that their density gives them, whichever way the map lies.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cmath>
#include <cstdint>
#include <fstream>

#include "export/classfigure.h"
#include "export/exportset.h"
#include "export/figurefile.h"
#include "export/mapfigure.h"
#include "tests/export/export_fixture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr double kPngScale = 300.0 / 72.0;  // pixels per point at 300 dpi

std::string RenderMap(FigureFormat format, MapOrientation orientation) {
  const MapFigureData map = BlockMap();
  return RenderFigure(format, {kMapFigureWidthMm, kMapFigureHeightMm}, {"Transition density map", "desc"},
                      [&](cairo_t* cr, double w, double h) { DrawMapFigure(cr, {0, 0, w, h}, map, orientation); });
}

std::string RenderClass(FigureFormat format) {
  const ClassFigureData fitted = FittedClass();
  return RenderFigure(format, {kClassFigureWidthMm, kClassFigureHeightMm}, {ClassHeading(fitted), "desc"},
                      [&](cairo_t* cr, double w, double h) { DrawClassFigure(cr, {0, 0, w, h}, fitted, 10.0); });
}

// Where the map's plot lies on the map figure's page, in points.
Box MapPlot() {
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  const Box page{0, 0, kMapFigureWidthMm * 72 / 25.4, kMapFigureHeightMm * 72 / 25.4};
  const Box plot = PlaceMap(cr, page, BlockMap()).plot;
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  return plot;
}

struct Spot {
  int x;
  int y;
};

// The pixel at the middle of the cell (initial i, final j) at 300 dpi: cell k is centred
// (k + 0.5) / 201 of the way along each side of the plot.
Spot CellPixel(const Box& plot, MapOrientation orientation, int i, int j) {
  const double along = plot.width / 201.0;
  double x, y;
  if (orientation == MapOrientation::AsOnScreen) {
    x = plot.x + (j + 0.5) * along;
    y = plot.y + (i + 0.5) * along;
  } else {
    x = plot.x + (i + 0.5) * along;
    y = plot.y + plot.height - (j + 0.5) * along;
  }
  return {static_cast<int>(x * kPngScale), static_cast<int>(y * kPngScale)};
}

// The colour of test-table entry e: (e, 255 - e, 77).
std::uint32_t Entry(std::uint32_t e) { return e << 16 | (255 - e) << 8 | 77; }

void ExpectBlocksIn(const Raster& raster, MapOrientation orientation, const std::string& what) {
  const Box plot = MapPlot();
  const int middle = (kBlockLow + kBlockHigh) / 2;  // cell 40: value 0.2; cell 160: value 0.8
  const Spot a = CellPixel(plot, orientation, middle, 200 - middle);
  const Spot b = CellPixel(plot, orientation, 200 - middle, middle);
  const Spot empty = CellPixel(plot, orientation, middle, middle);
  EXPECT_EQ(raster.At(a.x, a.y), Entry(127)) << what << ": density 5 of 10 is entry 127";
  EXPECT_EQ(raster.At(b.x, b.y), Entry(255)) << what << ": the maximum is entry 255";
  EXPECT_EQ(raster.At(empty.x, empty.y), Entry(0)) << what << ": no density is entry 0";
}

void Save(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The text of the first element called `name` under `node`.
std::string ElementText(xmlNode* node, const char* name) {
  for (xmlNode* child = node->children; child; child = child->next)
    if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, reinterpret_cast<const xmlChar*>(name))) {
      xmlChar* content = xmlNodeGetContent(child);
      std::string text(reinterpret_cast<const char*>(content));
      xmlFree(content);
      return text;
    }
  return {};
}

std::uint32_t BigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(bytes[at + k]);
  return v;
}

}  // namespace

TEST(FigureFileTest, SvgIsWellFormedXmlOfTheFigureSizeWithItsTitleAndDescription) {
  const std::string svg = RenderMap(FigureFormat::Svg, MapOrientation::InitialAcross);
  xmlDoc* doc = xmlReadMemory(svg.data(), static_cast<int>(svg.size()), "map.svg", nullptr, XML_PARSE_NONET);
  ASSERT_NE(doc, nullptr) << "not well-formed XML";
  xmlNode* root = xmlDocGetRootElement(doc);
  EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "svg");
  EXPECT_EQ(ElementText(root, "title"), "Transition density map");
  EXPECT_EQ(ElementText(root, "desc"), "desc");
  // 85 mm is 85 / 25.4 x 72 = 240.94 points.
  xmlChar* width = xmlGetProp(root, reinterpret_cast<const xmlChar*>("width"));
  ASSERT_NE(width, nullptr);
  EXPECT_NEAR(std::stod(reinterpret_cast<const char*>(width)), 240.94, 0.01);
  EXPECT_NE(std::string(reinterpret_cast<const char*>(width)).find("pt"), std::string::npos);
  xmlFree(width);
  xmlFreeDoc(doc);
}

TEST(FigureFileTest, PngHasTheJournalSizeAt300DpiAndSaysSo) {
  const std::string png = RenderMap(FigureFormat::Png, MapOrientation::InitialAcross);
  ASSERT_GT(png.size(), 33u);
  // IHDR: 85 mm x 66 mm at 300 / 25.4 pixels per mm is 1003.9 x 779.5: 1004 x 780.
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(BigEndian(png, 16), 1004u);
  EXPECT_EQ(BigEndian(png, 20), 780u);
  // Right after it, pHYs: 300 / 0.0254 = 11811 pixels per metre both ways, unit the metre.
  EXPECT_EQ(png.substr(37, 4), "pHYs");
  EXPECT_EQ(BigEndian(png, 41), 11811u);
  EXPECT_EQ(BigEndian(png, 45), 11811u);
  EXPECT_EQ(png[49], '\1');
  const std::string classPng = RenderClass(FigureFormat::Png);
  EXPECT_EQ(BigEndian(classPng, 16), 1004u);
  EXPECT_EQ(BigEndian(classPng, 20), 732u);  // 62 mm: 732.3
}

TEST(FigureFileTest, MapCellsShowTheColourTableColourOfTheirDensityInBothOrientationsInThePng) {
  TempDir dir;
  for (MapOrientation orientation : {MapOrientation::InitialAcross, MapOrientation::AsOnScreen}) {
    Save(dir / "map.png", RenderMap(FigureFormat::Png, orientation));
    const auto raster = ReadRaster(dir / "map.png");
    ASSERT_TRUE(raster);
    ExpectBlocksIn(*raster, orientation,
                   orientation == MapOrientation::AsOnScreen ? "PNG as on screen" : "PNG, initial value across");
  }
}

TEST(FigureFileTest, PdfRendersWithTheSameCellColoursInBothOrientationsAndHoldsItsText) {
  TempDir dir;
  for (MapOrientation orientation : {MapOrientation::InitialAcross, MapOrientation::AsOnScreen}) {
    Save(dir / "map.pdf", RenderMap(FigureFormat::Pdf, orientation));
    const ProgramRun render = RunProgram("pdftoppm", "-r 300 -png -singlefile map.pdf page");
    ASSERT_EQ(render.status, 0) << render.err;
    const auto raster = ReadRaster(dir / "page.png");
    ASSERT_TRUE(raster);
    EXPECT_NEAR(raster->width, 1004, 1);
    ExpectBlocksIn(*raster, orientation, orientation == MapOrientation::AsOnScreen ? "PDF as on screen" : "PDF");
  }
  const ProgramRun text = RunProgram("pdftotext", "map.pdf -");
  ASSERT_EQ(text.status, 0) << text.err;
  for (const char* title : {"Initial value", "Final value", "Transition density", "0.0", "0.2", "1.0"})
    EXPECT_NE(text.out.find(title), std::string::npos) << title << " in:\n" << text.out;

  Save(dir / "class.pdf", RenderClass(FigureFormat::Pdf));
  const ProgramRun classText = RunProgram("pdftotext", "class.pdf -");
  ASSERT_EQ(classText.status, 0) << classText.err;
  // The heading: class, rate e^-3.9 / 0.1 = 0.202 s^-1, interval; the axes and their ticks.
  for (const char* title : {"1 \xE2\x86\x92 2: 0.202 s", "95 % CI 0.18\xE2\x80\x93" "0.23", "ln(rate per frame)",
                            "Count", "rate (s", "\xE2\x88\x92" "10", "0.01", "0.1"})
    EXPECT_NE(classText.out.find(title), std::string::npos) << title << " in:\n" << classText.out;
}

TEST(FigureFileTest, ClassHeadingNamesTheClassRateAndIntervalToThreeDigitsAndLeavesOutAMissingInterval) {
  ClassFigureData fitted = FittedClass();
  EXPECT_EQ(ClassHeading(fitted), "1 \xE2\x86\x92 2: 0.202 s\xE2\x81\xBB\xC2\xB9 (95 % CI 0.18\xE2\x80\x93" "0.23)");
  fitted.interval.reset();
  fitted.rate = 1234.5;
  EXPECT_EQ(ClassHeading(fitted), "1 \xE2\x86\x92 2: 1.23e+03 s\xE2\x81\xBB\xC2\xB9");
  EXPECT_EQ(ClassFileStem(fitted), "class-1-2");
}
