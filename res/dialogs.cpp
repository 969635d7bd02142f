// The dialog templates, strings and resource table of the program.
#include <array>

#include "platform/resources.h"
#include "res/icon.h"
#include "res/resource.h"

namespace {

using K = ControlKind;
constexpr UINT kDisabled = kStyleDisabled;
constexpr UINT kAuto = kStyleAutoScroll;
constexpr UINT kCenter = kStyleCenter;

// Controls of the main dialog in template order, which is also the tab order.
constexpr ControlTemplate kMainControls[] = {
    {IDC_LOAD_FILES, "IDC_LOAD_FILES", K::PushButton, "Load Files", 299, 38, 139, 25},
    {IDC_LOCK_CUTOFFS, "IDC_LOCK_CUTOFFS", K::PushButton, "Lock cutoffs", 301, 137, 136, 24},
    {IDC_FIT_GAUSSIAN, "IDC_FIT_GAUSSIAN", K::PushButton, "Fit Gaussian", 301, 229, 141, 25},
    {IDC_STATIC, "", K::Label, "Exposure time (s):", 378, 9, 59, 9},
    {IDC_EXPOSURE_TIME, "IDC_EXPOSURE_TIME", K::Edit, "", 438, 7, 36, 14, kAuto},
    {IDC_KINETIC_RATE, "IDC_KINETIC_RATE", K::Edit, "", 399, 279, 54, 14, kAuto | kDisabled},
    {IDC_RATE_STDEV, "IDC_RATE_STDEV", K::Edit, "", 399, 295, 53, 14, kAuto | kDisabled},
    {IDC_GAUSS_AMPLITUDE, "IDC_GAUSS_AMPLITUDE", K::Edit, "", 399, 310, 53, 14, kAuto | kDisabled},
    {IDC_STATIC, "", K::Label, "Number of states:", 323, 76, 58, 10},
    {IDC_CUTOFF_LIST, "IDC_CUTOFF_LIST", K::ComboBox, "", 295, 94, 83, 91, kStyleVScroll},
    {IDC_CUTOFF_VALUE, "IDC_CUTOFF_VALUE", K::Edit, "", 315, 107, 31, 15, kAuto},
    {IDC_CUTOFF_UP, "IDC_CUTOFF_UP", K::PushButton, "==>", 347, 109, 20, 11},
    {IDC_CUTOFF_DOWN, "IDC_CUTOFF_DOWN", K::PushButton, "<==", 295, 109, 20, 11},
    {IDC_STATE_COUNT, "IDC_STATE_COUNT", K::Edit, "", 382, 74, 33, 12, kAuto},
    {IDC_REFRESH_CUTOFFS, "IDC_REFRESH_CUTOFFS", K::PushButton, "Refresh Cutoffs", 385, 98, 56, 17},
    {IDC_HIST_PANEL, "IDC_HIST_PANEL", K::Picture, "", 2, 260, 267, 123, 0, IDB_HIST_PANEL},
    {IDC_PICK_NEXT, "IDC_PICK_NEXT", K::PushButton, "==>", 335, 194, 25, 14},
    {IDC_PICK_PREV, "IDC_PICK_PREV", K::PushButton, "<==", 303, 194, 24, 14},
    {IDC_HIST_MAX, "IDC_HIST_MAX", K::Edit, "", 272, 294, 38, 14, kAuto | kDisabled},
    {IDC_PICK_FROM, "IDC_PICK_FROM", K::Edit, "", 299, 180, 28, 12, kAuto | kDisabled},
    {IDC_PICK_TO, "IDC_PICK_TO", K::Edit, "", 335, 180, 28, 12, kAuto | kDisabled},
    {IDC_STATIC, "", K::Label, "->", 328, 180, 8, 8},
    {IDC_STATIC, "", K::Label, "Kinetic Rate (s^-1):", 327, 282, 63, 11},
    {IDC_STATIC, "", K::Label, "Stdev (s^-1):", 327, 298, 63, 11},
    {IDC_DUMP_LOG, "IDC_DUMP_LOG", K::PushButton, "Dump Log", 306, 346, 139, 26},
    {IDC_STATIC, "", K::GroupBox, "Pick Cutoffs", 289, 65, 164, 66},
    {IDC_STATIC, "", K::GroupBox, "Pick Transition", 292, 168, 182, 54},
    {IDC_STATIC, "", K::GroupBox, "Fit Parameters", 315, 266, 153, 66},
    {IDC_STATIC, "", K::Label, "Amplitude of Gauss:", 328, 311, 63, 11},
    {IDC_PEAKS_IN_REPORT, "IDC_PEAKS_IN_REPORT", K::Edit, "", 438, 22, 36, 12, kAuto},
    {IDC_STATIC, "", K::Label, "Peaks in report:", 384, 23, 54, 11},
    {IDC_STATIC, "", K::Label, "0.0", 269, 0, 15, 8},
    {IDC_STATIC, "", K::Label, "1.0", 270, 241, 13, 8},
    {IDC_STATIC, "", K::Label, "0.0", 0, 250, 13, 8},
    {IDC_STATIC, "", K::Label, "1.0", 261, 249, 15, 8},
    {IDC_USE_CIRCLES, "IDC_USE_CIRCLES", K::CheckBox, "Use Circles?", 373, 175, 53, 9},
    {IDC_RADIUS_DOWN, "IDC_RADIUS_DOWN", K::PushButton, "<", 371, 206, 13, 8},
    {IDC_RADIUS_UP, "IDC_RADIUS_UP", K::PushButton, ">", 390, 206, 13, 8},
    {IDC_STATIC, "", K::Label, "Radius:", 374, 196, 31, 8},
    {IDC_CIRCLE_UP, "IDC_CIRCLE_UP", K::PushButton, "/\\", 445, 174, 12, 8},
    {IDC_CIRCLE_RIGHT, "IDC_CIRCLE_RIGHT", K::PushButton, ">", 454, 183, 12, 8},
    {IDC_CIRCLE_LEFT, "IDC_CIRCLE_LEFT", K::PushButton, "<", 438, 183, 12, 8},
    {IDC_CIRCLE_DOWN, "IDC_CIRCLE_DOWN", K::PushButton, "\\/", 445, 192, 12, 8},
    {IDC_SET_CIRCLE, "IDC_SET_CIRCLE", K::PushButton, "Set Circle", 417, 208, 51, 11},
    {IDC_WEIGHT_BY_COUNT, "IDC_WEIGHT_BY_COUNT", K::CheckBox, "Weight by # transitions", 288, 14, 89, 15},
    // What the map, its colours and the histogram panel show.
    {IDC_STATIC, "", K::Label, "Final value", 110, 250, 48, 8, kCenter},
    {IDC_STATIC, "", K::Label, "Initial value", 277, 90, 9, 64, kStyleVertical},
    {IDC_STATIC, "", K::Label, "high", 270, 20, 18, 8},
    {IDC_STATIC, "", K::Label, "low", 270, 222, 18, 8},
    {IDC_STATIC, "", K::Label, "Max count", 272, 285, 42, 8},
    {IDC_STATIC, "", K::Label, "-10", 0, 384, 16, 8},
    {IDC_STATIC, "", K::Label, "-9", 21, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "-8", 47, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "-7", 74, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "-6", 101, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "-5", 127, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "-4", 154, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "-3", 181, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "-2", 207, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "-1", 234, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "0", 261, 384, 16, 8, kCenter},
    {IDC_STATIC, "", K::Label, "ln(rate per frame)", 94, 393, 80, 8, kCenter},
};

constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, "", K::Icon, "", 11, 17, 20, 20, 0, IDR_MAINFRAME},
    {IDC_STATIC, "", K::Label, "Varnel Version " VARNEL_VERSION, 40, 10, 119, 8},
    {IDC_STATIC, "", K::Label, "Licence: " VARNEL_LICENCE, 40, 24, 130, 8},
    {IDOK, "IDOK", K::PushButton, "OK", 178, 7, 50, 14, kStyleDefault},
};

constexpr SurfaceRegion kMainRegions[] = {{kMapRegionName, kMapRegion}, {kColourBarRegionName, kColourBarRegion}};

constexpr DialogTemplate kMainDialog = {IDD_VARNEL_DIALOG, "Varnel",      481, 403, "MS Sans Serif", 8,
                                        kMainControls,     kMainRegions};
constexpr DialogTemplate kAboutDialog = {IDD_ABOUTBOX, "About Varnel", 235, 55, "MS Sans Serif", 8, kAboutControls};

constexpr std::array<const DialogTemplate*, 2> kDialogs = {&kAboutDialog, &kMainDialog};
constexpr StringResource kStrings[] = {{IDS_ABOUTBOX, "&About Varnel..."},
                                       {IDS_IMPORT_TRACES, "&Import idealised traces..."},
                                       {IDS_IDEALISE_TRACES, "Idealise raw &traces..."},
                                       {IDS_RESULTS, "&Results..."},
                                       {IDS_EXPORT_FIGURES, "&Export figures and tables..."},
                                       {IDS_DWELL_TIMES, "&Dwell times..."},
                                       {IDS_STOP_INTERVALS, "&Stop computing intervals"},
                                       {IDS_FIT_ALL, "&Fit all classes"},
                                       {IDS_LOAD_FILES, "&Load reports..."},
                                       {IDS_DUMP_LOG, "&Write the log"},
                                       {IDS_RATES, "Rate &matrix..."},
                                       {IDS_MOLECULES, "M&olecules..."},
                                       {IDS_OPEN_FOLDER, "&Open the output folder"}};
constexpr std::array<const IconResource*, 1> kIcons = {&kMainIcon};

constexpr ResourceTable kResources = {kDialogs, kStrings, kIcons};

}  // namespace

const ResourceTable& ModuleResources() { return kResources; }
