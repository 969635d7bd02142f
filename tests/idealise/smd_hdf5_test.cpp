// Raw traces from an SMD HDF5 file, written here with HDF5's own C library as the layout is
// documented: a group at the top with the attribute format "SMD" and the dataset data/raw of
// molecules x frames x colours.
#include <gtest/gtest.h>

#if VARNEL_HAVE_HDF5

#include <hdf5.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "idealise/rawtraces.h"
#include "import/peerformats.h"
#include "import/tracefile.h"
#include "tests/support/temp_dir.h"

namespace {

// The attribute format = "SMD" on `group`, as a text of variable length (as Python's h5py
// writes a str) or of fixed length (as it writes bytes).
void MarkSmd(hid_t group, bool variable) {
  const hid_t type = H5Tcopy(H5T_C_S1);
  H5Tset_size(type, variable ? H5T_VARIABLE : 3);
  if (!variable) H5Tset_strpad(type, H5T_STR_NULLPAD);
  const hid_t space = H5Screate(H5S_SCALAR);
  const hid_t attribute = H5Acreate2(group, "format", type, space, H5P_DEFAULT, H5P_DEFAULT);
  const char* text = "SMD";
  if (variable)
    H5Awrite(attribute, type, &text);
  else
    H5Awrite(attribute, type, text);
  H5Aclose(attribute);
  H5Sclose(space);
  H5Tclose(type);
}

// The dataset `name` in `where`, of `dims` and the file type `type`, written from `values` (doubles
// of the same count, row-major).
void WriteDataset(hid_t where, const char* name, std::vector<hsize_t> dims, hid_t type,
                  const std::vector<double>& values) {
  const hid_t space = H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr);
  const hid_t dataset = H5Dcreate2(where, name, type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  H5Dwrite(dataset, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data());
  H5Dclose(dataset);
  H5Sclose(space);
}

// A group `name` at the top of `file`, marked SMD unless `mark` is false, with `raw` (nothing
// when `dims` is empty) as data/raw.
void WriteSmd(hid_t file, const char* name, bool mark, bool variable, std::vector<hsize_t> dims, hid_t type,
              const std::vector<double>& raw) {
  const hid_t group = H5Gcreate2(file, name, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  if (mark) MarkSmd(group, variable);
  const hid_t data = H5Gcreate2(group, "data", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  if (!dims.empty()) WriteDataset(data, "raw", dims, type, raw);
  H5Gclose(data);
  H5Gclose(group);
}

hid_t NewFile(const std::string& path) { return H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT); }

TEST(SmdHdf5, EachSmdGroupsMoleculesGiveTheirDonorAndAcceptorNumberedInTheOrderOfTheGroupsNames) {
  TempDir dir;
  const std::string path = dir / "smd.hdf5";
  const hid_t file = NewFile(path);
  // Written first, read second: "run2" comes after "run1". One molecule of 2 frames, 16-bit
  // counts as a camera gives them: (D, A) = (30, 10), (10, 30).
  WriteSmd(file, "run2", true, false, {1, 2, 2}, H5T_STD_U16LE, {30, 10, 10, 30});
  // Two molecules of 3 frames, doubles. Molecule 1: (60, 40), (70, 30), (20, 80); molecule 2:
  // (150, 50), (100, 100), (50, 150).
  WriteSmd(file, "run1", true, true, {2, 3, 2}, H5T_IEEE_F64LE, {60, 40, 70, 30, 20, 80, 150, 50, 100, 100, 50, 150});
  // A group of other data is no molecule.
  WriteSmd(file, "notes", false, false, {1, 1, 2}, H5T_IEEE_F64LE, {1, 2});
  H5Fclose(file);

  const RawReading raw = ReadRawTraces({path}, RawOptions{});
  ASSERT_EQ(raw.error, "");
  ASSERT_EQ(raw.traces.size(), 3u);
  // FRET is A / (A + D): every frame's total is 100, 200 or 40, none at background.
  EXPECT_EQ(raw.traces[0].name, "smd-1");
  EXPECT_EQ(raw.traces[0].source, path + ", molecule 1");
  EXPECT_EQ(raw.traces[0].frames, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(raw.traces[0].fret, (std::vector<double>{0.4, 0.3, 0.8}));
  EXPECT_EQ(raw.traces[1].name, "smd-2");
  EXPECT_EQ(raw.traces[1].fret, (std::vector<double>{0.25, 0.5, 0.75}));
  EXPECT_EQ(raw.traces[2].name, "smd-3");
  EXPECT_EQ(raw.traces[2].frames, (std::vector<double>{1, 2}));
  EXPECT_EQ(raw.traces[2].fret, (std::vector<double>{0.25, 0.75}));
  // The file gives no time.
  EXPECT_FALSE(raw.frameTime);

  RawOptions fret;
  fret.fret = ColumnRef{"--fret", 3, ""};
  EXPECT_EQ(ReadRawTraces({path}, fret).error,
            path + ": an SMD HDF5 file holds each molecule's donor and acceptor, no FRET to take with --fret");
  EXPECT_EQ(ReadTraceFile(path, ImportOptions{}).error,
            path + ": an SMD HDF5 file holds raw donor and acceptor intensities, not idealised traces: idealise it "
                   "first (varnel-idealise, or the command idealise)");
}

TEST(SmdHdf5, AFileOfAnotherLayoutIsRefusedWithWhatItLacksAndADamagedOneWithoutHdf5sOwnReport) {
  TempDir dir;
  const std::string layout =
      "the layout read is SMD HDF5: a group at the top of the file with the attribute format \"SMD\", holding the "
      "dataset data/raw of molecules x frames x colours (donor, then acceptor)";
  const auto error = [](const std::string& path) { return ReadRawTraces({path}, RawOptions{}).error; };

  hid_t file = NewFile(dir / "unmarked.h5");
  WriteSmd(file, "movie", false, false, {1, 2, 2}, H5T_IEEE_F64LE, {1, 2, 3, 4});
  H5Fclose(file);
  EXPECT_EQ(error(dir / "unmarked.h5"), dir / "unmarked.h5" + ": has no group marked format \"SMD\"; " + layout);

  file = NewFile(dir / "noraw.h5");
  WriteSmd(file, "expt", true, true, {}, H5T_IEEE_F64LE, {});
  H5Fclose(file);
  EXPECT_EQ(error(dir / "noraw.h5"), dir / "noraw.h5" + ": the SMD group /expt has no dataset data/raw; " + layout);

  file = NewFile(dir / "three.h5");
  WriteSmd(file, "expt", true, true, {1, 1, 3}, H5T_IEEE_F64LE, {1, 2, 3});
  H5Fclose(file);
  EXPECT_EQ(error(dir / "three.h5"), dir / "three.h5" +
                                         ": the SMD group /expt: data/raw holds 3 colours a frame, where the traces "
                                         "read are two, the donor's and the acceptor's; " + layout);

  file = NewFile(dir / "flat.h5");
  WriteSmd(file, "expt", true, true, {4}, H5T_IEEE_F64LE, {1, 2, 3, 4});
  H5Fclose(file);
  EXPECT_EQ(error(dir / "flat.h5"),
            dir / "flat.h5" + ": the SMD group /expt: data/raw has 1 dimension, not 3; " + layout);

  file = NewFile(dir / "gap.h5");
  WriteSmd(file, "expt", true, true, {1, 2, 2}, H5T_IEEE_F64LE, {1, 2, std::nan(""), 4});
  H5Fclose(file);
  EXPECT_EQ(error(dir / "gap.h5"),
            dir / "gap.h5" + ", molecule 1, frame 2: the donor's intensity is not a finite number");

  // A file cut short, as a copy that stopped: HDF5 finds the end before its superblock's; and a
  // file that is no HDF5 at all. HDF5 prints nothing of its own.
  file = NewFile(dir / "whole.h5");
  WriteSmd(file, "expt", true, true, {1, 500, 2}, H5T_IEEE_F64LE, std::vector<double>(1000, 7));
  H5Fclose(file);
  std::ifstream whole(dir / "whole.h5", std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(whole), std::istreambuf_iterator<char>()};
  ASSERT_GT(bytes.size(), 8000u);
  std::ofstream(dir / "cut.h5", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  std::ofstream(dir / "text.h5") << "1 2\n3 4\n";
  testing::internal::CaptureStderr();
  const std::string cut = error(dir / "cut.h5");
  const std::string text = error(dir / "text.h5");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(cut.rfind(dir / "cut.h5" + ": is damaged: HDF5 cannot open it: ", 0), 0u) << cut;
  EXPECT_EQ(text, dir / "text.h5" + ": is not an HDF5 file: it does not begin with HDF5's signature; " + layout);
  EXPECT_EQ(error(dir / "none.h5").rfind(dir / "none.h5" + ": cannot be opened: ", 0), 0u);
}

}  // namespace

#endif
