// Resource identifiers of the program, and where the main dialog shows its map.
#pragma once

#include "platform/types.h"

// The map on the main dialog's client surface: its 201 x 201 cells, each as 2 x 2 pixels, from
// pixel (1, 1). The drawing and the pictures of the map both take it from here.
inline constexpr CRect kMapRegion = {1, 1, 403, 403};
// The colour table beside the map, its last entry at the top, between the labels "high" and "low",
// which keep a line's distance from the map's own "0.0" and "1.0" at the corners of its right edge.
inline constexpr CRect kColourBarRegion = {407, 46, 413, 358};

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_VARNEL_DIALOG = 102;
inline constexpr int IDS_IMPORT_TRACES = 103;
inline constexpr int IDS_RESULTS = 104;
inline constexpr int IDS_EXPORT_FIGURES = 105;
inline constexpr int IDS_STOP_INTERVALS = 106;
inline constexpr int IDS_DWELL_TIMES = 107;
inline constexpr int IDS_IDEALISE_TRACES = 108;
inline constexpr int IDS_FIT_ALL = 109;
inline constexpr int IDS_LOAD_FILES = 110;
inline constexpr int IDS_DUMP_LOG = 111;
inline constexpr int IDS_RATES = 112;
inline constexpr int IDS_MOLECULES = 113;
inline constexpr int IDS_OPEN_FOLDER = 114;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDB_HIST_PANEL = 131;
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr unsigned IDM_IMPORT_TRACES = 0x0020;
inline constexpr unsigned IDM_RESULTS = 0x0030;
inline constexpr unsigned IDM_EXPORT_FIGURES = 0x0040;
inline constexpr unsigned IDM_STOP_INTERVALS = 0x0050;
inline constexpr unsigned IDM_DWELL_TIMES = 0x0060;
inline constexpr unsigned IDM_IDEALISE_TRACES = 0x0070;
inline constexpr unsigned IDM_FIT_ALL = 0x0080;
inline constexpr unsigned IDM_LOAD_FILES = 0x0090;
inline constexpr unsigned IDM_DUMP_LOG = 0x00A0;
inline constexpr unsigned IDM_RATES = 0x00B0;
inline constexpr unsigned IDM_MOLECULES = 0x00C0;
inline constexpr unsigned IDM_OPEN_FOLDER = 0x00D0;

inline constexpr int IDC_LOAD_FILES = 1003;
inline constexpr int IDC_LOCK_CUTOFFS = 1004;
inline constexpr int IDC_FIT_GAUSSIAN = 1005;
inline constexpr int IDC_EXPOSURE_TIME = 1006;
inline constexpr int IDC_KINETIC_RATE = 1007;
inline constexpr int IDC_RATE_STDEV = 1008;
inline constexpr int IDC_GAUSS_AMPLITUDE = 1009;
inline constexpr int IDC_CUTOFF_LIST = 1012;
inline constexpr int IDC_CUTOFF_VALUE = 1013;
inline constexpr int IDC_CUTOFF_UP = 1014;
inline constexpr int IDC_CUTOFF_DOWN = 1015;
inline constexpr int IDC_STATE_COUNT = 1016;
inline constexpr int IDC_REFRESH_CUTOFFS = 1017;
inline constexpr int IDC_HIST_PANEL = 1018;
inline constexpr int IDC_PICK_NEXT = 1019;
inline constexpr int IDC_PICK_PREV = 1020;
inline constexpr int IDC_HIST_MAX = 1021;
inline constexpr int IDC_PICK_FROM = 1022;
inline constexpr int IDC_PICK_TO = 1023;
inline constexpr int IDC_DUMP_LOG = 1024;
inline constexpr int IDC_PEAKS_IN_REPORT = 1025;
inline constexpr int IDC_USE_CIRCLES = 1026;
inline constexpr int IDC_RADIUS_DOWN = 1027;
inline constexpr int IDC_RADIUS_UP = 1028;
inline constexpr int IDC_CIRCLE_UP = 1029;
inline constexpr int IDC_CIRCLE_RIGHT = 1030;
inline constexpr int IDC_CIRCLE_LEFT = 1031;
inline constexpr int IDC_CIRCLE_DOWN = 1032;
inline constexpr int IDC_SET_CIRCLE = 1033;
inline constexpr int IDC_WEIGHT_BY_COUNT = 1034;
