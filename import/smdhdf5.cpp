// The single-molecule dataset in HDF5: raw traces of molecules x frames x colours, read with
// HDF5's C library where the build has it.
#include "import/peerformats.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if VARNEL_HAVE_HDF5
#include <hdf5.h>
#endif

namespace {

constexpr char kLayoutRead[] =
    "the layout read is SMD HDF5: a group at the top of the file with the attribute format \"SMD\", "
    "holding the dataset data/raw of molecules x frames x colours (donor, then acceptor)";

// The file can be opened at all: HDF5 says no more than that it cannot, where errno says why.
std::string OpeningTrouble(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return path + ": cannot be opened: " + std::strerror(errno);
  std::fclose(file);
  return {};
}

}  // namespace

#if VARNEL_HAVE_HDF5

namespace {

// While one lives, HDF5 prints no report of its own errors on standard error: a file it cannot
// read is said once, in the refusal. HDF5's error reporting is its calling thread's own.
class QuietErrors {
 public:
  QuietErrors() {
    H5Eget_auto2(H5E_DEFAULT, &report_, &data_);
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  }
  ~QuietErrors() { H5Eset_auto2(H5E_DEFAULT, report_, data_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  H5E_auto2_t report_ = nullptr;
  void* data_ = nullptr;
};

// An HDF5 identifier, closed with its kind's own function when it goes; negative when the
// call that gave it failed.
class Handle {
 public:
  Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
  ~Handle() {
    if (id_ >= 0) close_(id_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  hid_t operator*() const { return id_; }
  explicit operator bool() const { return id_ >= 0; }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

// The description HDF5 gave of the innermost error on this thread's stack, where it found the
// fault; "no reason given" when the stack is empty.
std::string InnermostError() {
  std::string text;
  H5Ewalk2(
      H5E_DEFAULT, H5E_WALK_UPWARD,
      [](unsigned n, const H5E_error2_t* error, void* found) -> herr_t {
        if (n == 0 && error->desc) *static_cast<std::string*>(found) = error->desc;
        return 0;
      },
      &text);
  return text.empty() ? "no reason given" : text;
}

// The text of the object's attribute `name`, fixed or variable in length; nothing when it has
// no such attribute or it holds other than one text.
std::optional<std::string> TextAttribute(hid_t object, const char* name) {
  if (H5Aexists(object, name) <= 0) return std::nullopt;
  const Handle attribute(H5Aopen(object, name, H5P_DEFAULT), H5Aclose);
  if (!attribute) return std::nullopt;
  const Handle type(H5Aget_type(*attribute), H5Tclose);
  const Handle space(H5Aget_space(*attribute), H5Sclose);
  if (!type || !space || H5Tget_class(*type) != H5T_STRING || H5Sget_simple_extent_npoints(*space) != 1)
    return std::nullopt;
  const Handle memory(H5Tcopy(H5T_C_S1), H5Tclose);
  if (!memory) return std::nullopt;
  std::string text;
  if (H5Tis_variable_str(*type) > 0) {
    H5Tset_size(*memory, H5T_VARIABLE);
    H5Tset_cset(*memory, H5Tget_cset(*type));
    char* held = nullptr;
    if (H5Aread(*attribute, *memory, &held) < 0) return std::nullopt;
    if (held) text = held;
    H5free_memory(held);
  } else {
    // One byte more than the file's text, for the terminating zero the reading adds.
    const std::size_t size = H5Tget_size(*type);
    if (size == 0) return std::nullopt;
    std::vector<char> held(size + 1, '\0');
    H5Tset_size(*memory, size + 1);
    H5Tset_cset(*memory, H5Tget_cset(*type));
    if (H5Aread(*attribute, *memory, held.data()) < 0) return std::nullopt;
    text = held.data();
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The names of the groups at the top of the file marked as SMD, in the order of their names.
std::vector<std::string> SmdGroups(hid_t file) {
  std::vector<std::string> groups;
  H5G_info_t info;
  if (H5Gget_info(file, &info) < 0) return groups;
  for (hsize_t i = 0; i < info.nlinks; ++i) {
    const ssize_t length = H5Lget_name_by_idx(file, ".", H5_INDEX_NAME, H5_ITER_INC, i, nullptr, 0, H5P_DEFAULT);
    if (length <= 0) continue;
    std::vector<char> name(static_cast<std::size_t>(length) + 1, '\0');
    if (H5Lget_name_by_idx(file, ".", H5_INDEX_NAME, H5_ITER_INC, i, name.data(), name.size(), H5P_DEFAULT) < 0)
      continue;
    // A soft or external link may lead anywhere, into another file too: only the file's own
    // groups are read.
    H5L_info_t link;
    if (H5Lget_info(file, name.data(), &link, H5P_DEFAULT) < 0 || link.type != H5L_TYPE_HARD) continue;
    const Handle object(H5Oopen(file, name.data(), H5P_DEFAULT), H5Oclose);
    if (object && H5Iget_type(*object) == H5I_GROUP && TextAttribute(*object, "format") == "SMD")
      groups.emplace_back(name.data());
  }
  return groups;
}

// What a dataset's type reads as, for a refusal.
std::string TypeText(hid_t type) {
  switch (H5Tget_class(type)) {
    case H5T_STRING: return "text";
    case H5T_COMPOUND: return "records of several fields";
    case H5T_ENUM: return "named values";
    case H5T_ARRAY: return "arrays";
    case H5T_BITFIELD: return "bit fields";
    case H5T_OPAQUE: return "opaque bytes";
    case H5T_REFERENCE: return "references";
    case H5T_VLEN: return "lists of variable length";
    default: return "no numbers";
  }
}

// The molecules of the SMD group `group`, appended to `reading` and numbered on from those
// before; false, and the refusal in `reading.error`, when the group cannot be read.
bool ReadGroup(hid_t file, const std::string& group, const std::string& path, std::size_t& values,
               ColumnReading& reading) {
  const std::string where = path + ": the SMD group /" + group;
  const Handle smd(H5Gopen2(file, group.c_str(), H5P_DEFAULT), H5Gclose);
  if (!smd || H5Lexists(*smd, "data", H5P_DEFAULT) <= 0 || H5Lexists(*smd, "data/raw", H5P_DEFAULT) <= 0) {
    reading.error = where + " has no dataset data/raw; " + kLayoutRead;
    return false;
  }
  const Handle raw(H5Dopen2(*smd, "data/raw", H5P_DEFAULT), H5Dclose);
  if (!raw) {
    reading.error = where + ": data/raw is not a dataset HDF5 can open (" + InnermostError() + "); " + kLayoutRead;
    return false;
  }
  const Handle type(H5Dget_type(*raw), H5Tclose);
  const Handle space(H5Dget_space(*raw), H5Sclose);
  if (!type || !space) {
    reading.error = where + ": data/raw cannot be read: " + InnermostError();
    return false;
  }
  if (H5Tget_class(*type) != H5T_INTEGER && H5Tget_class(*type) != H5T_FLOAT) {
    reading.error = where + ": data/raw holds " + TypeText(*type) + ", not numbers; " + kLayoutRead;
    return false;
  }
  const int rank = H5Sget_simple_extent_ndims(*space);
  if (rank != 3) {
    reading.error = where + ": data/raw has " + std::to_string(rank) +
                    (rank == 1 ? " dimension" : " dimensions") + ", not 3; " + kLayoutRead;
    return false;
  }
  hsize_t dims[3] = {0, 0, 0};
  H5Sget_simple_extent_dims(*space, dims, nullptr);
  const hsize_t molecules = dims[0], frames = dims[1], colours = dims[2];
  if (colours != 2) {
    reading.error = where + ": data/raw holds " + std::to_string(colours) +
                    (colours == 1 ? " colour" : " colours") + " a frame, where the traces read are two, "
                    "the donor's and the acceptor's; " + kLayoutRead;
    return false;
  }
  if (molecules == 0) return true;
  if (frames == 0) {
    reading.error = where + ": data/raw counts " + std::to_string(molecules) + " molecules of no frames";
    return false;
  }
  // The count is checked before the product is formed, so that no product overflows.
  const hsize_t room = (kMostHdf5Values - values) / colours;
  if (frames > room || molecules > room / frames) {
    reading.error = where + ": data/raw counts " + std::to_string(molecules) + " molecules of " +
                    std::to_string(frames) + " frames, more than the " + std::to_string(kMostHdf5Values) +
                    " numbers this program reads from one file";
    return false;
  }
  values += static_cast<std::size_t>(molecules * frames * colours);
  const auto frameCount = static_cast<std::size_t>(frames);
  hsize_t rowValues = frames * colours;
  const Handle rows(H5Screate_simple(1, &rowValues, nullptr), H5Sclose);
  for (hsize_t m = 0; m < molecules; ++m) {
    ColumnMolecule molecule;
    molecule.name = std::to_string(reading.molecules.size() + 1);
    molecule.source = path + ", molecule " + molecule.name;
    molecule.values.resize(frameCount * 2);
    const hsize_t start[3] = {m, 0, 0};
    const hsize_t count[3] = {1, frames, colours};
    if (!rows || H5Sselect_hyperslab(*space, H5S_SELECT_SET, start, nullptr, count, nullptr) < 0 ||
        H5Dread(*raw, H5T_NATIVE_DOUBLE, *rows, *space, H5P_DEFAULT, molecule.values.data()) < 0) {
      reading.error = molecule.source + ": cannot be read: " + InnermostError();
      return false;
    }
    for (std::size_t v = 0; v < molecule.values.size(); ++v)
      if (!std::isfinite(molecule.values[v])) {
        reading.error = molecule.source + ", frame " + std::to_string(v / 2 + 1) + ": the " +
                        (v % 2 == 0 ? "donor's" : "acceptor's") + " intensity is not a finite number";
        return false;
      }
    molecule.frames.resize(frameCount);
    for (std::size_t f = 0; f < frameCount; ++f) molecule.frames[f] = static_cast<double>(f + 1);
    reading.molecules.push_back(std::move(molecule));
  }
  return true;
}

}  // namespace

bool ReadsHdf5() { return true; }

ColumnReading ReadSmdHdf5File(const std::string& path) {
  if (std::string trouble = OpeningTrouble(path); !trouble.empty()) return {{}, trouble};
  const QuietErrors quiet;
#if H5_VERSION_GE(1, 12, 0)
  const htri_t hdf5 = H5Fis_accessible(path.c_str(), H5P_DEFAULT);
#else
  const htri_t hdf5 = H5Fis_hdf5(path.c_str());
#endif
  if (hdf5 == 0) return {{}, path + ": is not an HDF5 file: it does not begin with HDF5's signature; " + kLayoutRead};
  const Handle file(hdf5 > 0 ? H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT) : -1, H5Fclose);
  if (!file) return {{}, path + ": is damaged: HDF5 cannot open it: " + InnermostError()};
  const std::vector<std::string> groups = SmdGroups(*file);
  if (groups.empty()) return {{}, path + ": has no group marked format \"SMD\"; " + kLayoutRead};
  ColumnReading reading;
  std::size_t values = 0;
  for (const std::string& group : groups)
    if (!ReadGroup(*file, group, path, values, reading)) return {{}, reading.error};
  if (reading.molecules.empty()) return {{}, path + ": its SMD data/raw counts no molecules"};
  return reading;
}

#else

bool ReadsHdf5() { return false; }

ColumnReading ReadSmdHdf5File(const std::string& path) {
  if (std::string trouble = OpeningTrouble(path); !trouble.empty()) return {{}, trouble};
  return {{}, path + ": SMD HDF5 is not available in this build, which has no HDF5 library"};
}

#endif
