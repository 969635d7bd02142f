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
                      [&](cairo_t* cr, double w, double h) { DrawMapFigure(cr, {0, 0, w, h}, map, {orientation}); });
}

std::string RenderClass(FigureFormat format, std::vector<std::string> flags = {}) {
  ClassFigureData fitted = FittedClass();
  fitted.flags = std::move(flags);
  return RenderFigure(format, {kClassFigureWidthMm, kClassFigureHeightMm}, {ClassHeading(fitted), "desc"},
                      [&](cairo_t* cr, double w, double h) {
                        DrawClassFigure(cr, {0, 0, w, h}, fitted, {}, ClassHeadingAt(cr, fitted, {}, 10.0, w));
                      });
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
  for (const char* title : {"Initial value", "Final value", "Transitions,", "Gaussian-weighted", "0.0", "0.2", "1.0"})
    EXPECT_NE(text.out.find(title), std::string::npos) << title << " in:\n" << text.out;

  Save(dir / "class.pdf", RenderClass(FigureFormat::Pdf));
  const ProgramRun classText = RunProgram("pdftotext", "class.pdf -");
  ASSERT_EQ(classText.status, 0) << classText.err;
  // The heading: class, rate e^-3.9 / 0.1 = 0.202 s^-1, interval, n; the axes and their ticks.
  for (const char* title : {"1 \xE2\x86\x92 2: 0.202 s", "95 % CI 0.180\xE2\x80\x93" "0.230", "ln(rate per frame)",
                            "n = 12 molecules, 1,065 transitions",
                            "Count", "rate (s", "\xE2\x88\x92" "10", "0.01", "0.1"})
    EXPECT_NE(classText.out.find(title), std::string::npos) << title << " in:\n" << classText.out;
  // What a reader must know of the rate stands as a footnote under the plot, broken where it must be.
  Save(dir / "flagged.pdf", RenderClass(FigureFormat::Pdf, {"at bound: the class's rates lie beyond the fit's range; "
                                                            "the rate is a limit", "3 of 1000 replicates failed"}));
  const ProgramRun flaggedText = RunProgram("pdftotext", "flagged.pdf -");
  ASSERT_EQ(flaggedText.status, 0) << flaggedText.err;
  for (const char* words : {"at bound:", "the rate is a limit", "3 of 1000 replicates failed", "n = 12 molecules"})
    EXPECT_NE(flaggedText.out.find(words), std::string::npos) << words << " in:\n" << flaggedText.out;
}

TEST(FigureFileTest, ClassHeadingNamesTheClassRateAndIntervalToThreeDigitsAndLeavesOutAMissingInterval) {
  ClassFigureData fitted = FittedClass();
  EXPECT_EQ(ClassHeading(fitted), "1 \xE2\x86\x92 2: 0.202 s\xE2\x81\xBB\xC2\xB9 (95 % CI 0.180\xE2\x80\x93" "0.230)");
  fitted.interval.reset();
  fitted.rate = 1234.5;
  EXPECT_EQ(ClassHeading(fitted), "1 \xE2\x86\x92 2: 1230 s\xE2\x81\xBB\xC2\xB9");
  EXPECT_EQ(ClassFileStem(fitted), "class-1-2");
}

namespace {

// A scratch context to measure text with, as the figures do.
struct Scratch {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t* cr = cairo_create(surface);
  ~Scratch() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

ClassFigureData WithRate(double rate, double low, double high) {
  ClassFigureData fitted = FittedClass();
  fitted.rate = rate;
  fitted.interval = Interval{low, high};
  return fitted;
}

// A heading too long for an overview panel at any size: a rate with many digits, a large n.
ClassFigureData LongHeadingClass() {
  ClassFigureData fitted = WithRate(0.000123456, 0.000101234, 0.000145678);
  fitted.from = 10;
  fitted.to = 9;
  fitted.molecules = 12345;
  fitted.transitions = 1234567;
  return fitted;
}

constexpr char kArrow[] = " \xE2\x86\x92 ";
constexpr char kSpacedPerSecond[] = " s\xE2\x81\xBB\xC2\xB9";
constexpr char kDash[] = "\xE2\x80\x93";

}  // namespace

TEST(ClassHeadingTest, RoundsTheRateToItsDigitsAndWritesTheIntervalWithAsManyDecimals) {
  EXPECT_EQ(ClassHeading(WithRate(0.404446, 0.36999, 0.43912)),
            std::string("1") + kArrow + "2: 0.404" + kSpacedPerSecond + " (95 % CI 0.370" + kDash + "0.439)");
  EXPECT_EQ(ClassHeading(WithRate(12.3456, 11.04, 13.9)),
            std::string("1") + kArrow + "2: 12.3" + kSpacedPerSecond + " (95 % CI 11.0" + kDash + "13.9)");
  // 0.9996 rounds up to 1.00: two decimals, not three.
  EXPECT_EQ(ClassHeading(WithRate(0.9996, 0.95, 1.04)),
            std::string("1") + kArrow + "2: 1.00" + kSpacedPerSecond + " (95 % CI 0.95" + kDash + "1.04)");
  // Three digits of 1234.5 end at the tens.
  EXPECT_EQ(ClassHeading(WithRate(1234.5, 1180.2, 1294.0)),
            std::string("1") + kArrow + "2: 1230" + kSpacedPerSecond + " (95 % CI 1180" + kDash + "1290)");
  // Other digits: two and five.
  EXPECT_EQ(ClassHeading(WithRate(0.404446, 0.36999, 0.43912), 2),
            std::string("1") + kArrow + "2: 0.40" + kSpacedPerSecond + " (95 % CI 0.37" + kDash + "0.44)");
  EXPECT_EQ(ClassHeading(WithRate(12.3456, 11.04, 13.9), 5),
            std::string("1") + kArrow + "2: 12.346" + kSpacedPerSecond + " (95 % CI 11.040" + kDash + "13.900)");
}

TEST(ClassHeadingTest, SaysHowManyMoleculesAndTransitionsTheClassHolds) {
  ClassFigureData fitted = FittedClass();
  fitted.molecules = 40;
  fitted.transitions = 1065;
  EXPECT_EQ(ClassSampleText(fitted), "n = 40 molecules, 1,065 transitions");
  fitted.molecules = 1;
  fitted.transitions = 1;
  EXPECT_EQ(ClassSampleText(fitted), "n = 1 molecule, 1 transition");
  fitted.molecules = 0;
  fitted.transitions = 7;
  EXPECT_EQ(ClassSampleText(fitted), "n = 7 transitions");
  fitted.transitions = 0;
  EXPECT_EQ(ClassSampleText(fitted), "");
}

TEST(ClassRangeTest, TheDataRangeSpansTheOccupiedBinsWithTwoEmptyBinsEitherSide) {
  ClassHistogram histogram;
  for (int k : {20, 21, 23, 24}) histogram.counts[static_cast<std::size_t>(k)] = 3.0;
  // Bins 18 ... 26: from -10 + 18 x 0.2 to -10 + 27 x 0.2.
  LnRange range = ClassLnRange(histogram, HistogramRange::Data);
  EXPECT_NEAR(range.low, -6.4, 1e-12);
  EXPECT_NEAR(range.high, -4.6, 1e-12);
  range = ClassLnRange(histogram, HistogramRange::Fixed);
  EXPECT_EQ(range.low, -10.0);
  EXPECT_EQ(range.high, 0.0);
  // The margin stops at the histogram's ends.
  ClassHistogram ends;
  ends.counts[1] = 1.0;
  ends.counts[48] = 1.0;
  range = ClassLnRange(ends, HistogramRange::Data);
  EXPECT_EQ(range.low, -10.0);
  EXPECT_NEAR(range.high, 0.0, 1e-12);
  // Nothing to fit the range to: the fixed one.
  range = ClassLnRange(ClassHistogram{}, HistogramRange::Data);
  EXPECT_EQ(range.low, -10.0);
  EXPECT_EQ(range.high, 0.0);
}

TEST(ClassRangeTest, TheFigureOfTheDataRangeTicksTheRangeAndLabelsTheRatesWithinIt) {
  // The fixture fills bins 26 ... 34: the range is bins 24 ... 36, ln -5.2 ... -2.6, ticked at
  // -5, -4, -3; the rates e^-5.2 / 0.1 = 0.055 ... e^-2.6 / 0.1 = 0.74 s^-1 hold one decade,
  // 0.1, so 0.2 and 0.5 are labelled too.
  const ClassFigureData fitted = FittedClass();
  const ClassStyle style{3, HistogramRange::Data};
  const std::string pdf = RenderFigure(FigureFormat::Pdf, {kClassFigureWidthMm, kClassFigureHeightMm}, {"c", "d"},
                                       [&](cairo_t* cr, double w, double h) {
                                         // No heading: its numbers would read as tick labels.
                                         DrawClassFigure(cr, {0, 0, w, h}, fitted, style, {kHeadingFontPt, {}, 2});
                                       });
  TempDir dir;
  Save(dir / "class.pdf", pdf);
  const ProgramRun text = RunProgram("pdftotext", "class.pdf -");
  ASSERT_EQ(text.status, 0) << text.err;
  for (const char* label : {"\xE2\x88\x92" "5", "\xE2\x88\x92" "4", "\xE2\x88\x92" "3", "0.1", "0.2", "0.5"})
    EXPECT_NE(text.out.find(label), std::string::npos) << label << " in:\n" << text.out;
  for (const char* outside : {"\xE2\x88\x92" "10", "\xE2\x88\x92" "6", "0.01"})
    EXPECT_EQ(text.out.find(outside), std::string::npos) << outside << " in:\n" << text.out;
}

TEST(OverviewTest, APanelHeadingTooLongForItsPanelBreaksIntoLinesAtNoLessThanTheTickLabelSize) {
  Scratch scratch;
  const ClassFigureData fitted = LongHeadingClass();
  // A third of the 180 mm sheet, less the margins: about 159 points.
  const double panel = 159.0;
  const double size = ClassHeadingSize(scratch.cr, fitted, {}, panel);
  EXPECT_GE(size, kTickFontPt);
  const ClassHeadingLayout heading = ClassHeadingAt(scratch.cr, fitted, {}, size, panel);
  EXPECT_GE(heading.lines.size(), 3u);
  std::string joined;
  SetFont(scratch.cr, size);
  for (const std::string& line : heading.lines) {
    EXPECT_LE(TextWidth(scratch.cr, line), panel - 2 * kHeadingMarginPt) << line;
    joined += (joined.empty() ? "" : " ") + line;
  }
  EXPECT_EQ(joined, ClassHeading(fitted) + " " + ClassSampleText(fitted));
  // The plot starts below every line.
  const Box plot = PlaceClassPlot(scratch.cr, {0, 0, panel, 200}, fitted, heading);
  EXPECT_GE(plot.y, HeadingHeight(size, heading.lines.size()));
}

TEST(OverviewTest, TheSheetGrowsToGiveLongHeadingsTheirLines) {
  ExportData data;
  data.map = BlockMap();
  data.classes = {LongHeadingClass()};
  ExportOptions png;
  png.formats = {FigureFormat::Png};
  const auto files = FigureFiles(data, png);
  ASSERT_TRUE(files);
  ASSERT_EQ(files->back().name, "overview.png");
  // One row of panels with a one-line heading would be 9 + 52 = 61 mm: 720.5 pixels.
  EXPECT_GT(BigEndian(files->back().bytes, 20), 721u);
}

TEST(MapFigureTest, ValueTicksThinOutOnASmallMap) {
  Scratch scratch;
  // "0.0" at 8 pt is about 12.7 points wide, and labels keep 4 points apart: ticks 0.2 apart
  // need a side of 1.005 / 0.2 x 16.7 = 84 points, 0.5 apart 34 points.
  EXPECT_EQ(ValueTickStep(scratch.cr, 150.0), 0.2);
  EXPECT_EQ(ValueTickStep(scratch.cr, 60.0), 0.5);
  EXPECT_EQ(ValueTickStep(scratch.cr, 20.0), 1.0);
}

TEST(MapFigureTest, TheColourBarNamesWhatACellHoldsAndTheAxesTakeTheirNames) {
  MapFigureData map = BlockMap();
  EXPECT_EQ(DensityName(map), "Transitions, Gaussian-weighted");
  map.weighted = false;
  EXPECT_EQ(DensityName(map), "Records, Gaussian-weighted");
  map.weighted = true;
  const MapStyle style{MapOrientation::InitialAcross, ColourScale::Log, "FRET before", "FRET after"};
  const std::string pdf = RenderFigure(FigureFormat::Pdf, {kMapFigureWidthMm, kMapFigureHeightMm}, {"m", "d"},
                                       [&](cairo_t* cr, double w, double h) { DrawMapFigure(cr, {0, 0, w, h}, map, style); });
  TempDir dir;
  Save(dir / "map.pdf", pdf);
  const ProgramRun text = RunProgram("pdftotext", "map.pdf -");
  ASSERT_EQ(text.status, 0) << text.err;
  // The log bar of a maximum of 10 is labelled 0.01, 0.1, 1 and 10.
  for (const char* label : {"FRET before", "FRET after", "Gaussian-weighted", "(log scale)", "0.01", "0.1", "10"})
    EXPECT_NE(text.out.find(label), std::string::npos) << label << " in:\n" << text.out;
  EXPECT_EQ(text.out.find("Initial value"), std::string::npos);
}

TEST(MapFigureTest, TheLogScaleColoursTheHalfDensityBlockAtItsLogEntry) {
  // Block A holds half the maximum: 255 x (3 + log10 0.5) / 3 = 229.4, entry 229.
  const MapFigureData map = BlockMap();
  const MapStyle style{MapOrientation::InitialAcross, ColourScale::Log};
  TempDir dir;
  Save(dir / "map.png", RenderFigure(FigureFormat::Png, {kMapFigureWidthMm, kMapFigureHeightMm}, {"m", "d"},
                                     [&](cairo_t* cr, double w, double h) { DrawMapFigure(cr, {0, 0, w, h}, map, style); }));
  const auto raster = ReadRaster(dir / "map.png");
  ASSERT_TRUE(raster);
  const int middle = (kBlockLow + kBlockHigh) / 2;
  const Spot a = CellPixel(MapPlot(), MapOrientation::InitialAcross, middle, 200 - middle);
  EXPECT_EQ(raster->At(a.x, a.y), Entry(229));
}
