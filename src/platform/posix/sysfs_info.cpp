#include "platform/posix/sysfs_info.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/posix/vpd_pages.h"
#include "platform/winconst.h"
#include "util/ascii_text.h"

namespace plexi::posix {

namespace fs = std::filesystem;

namespace {

// Parses a sysfs "dev" attribute ("7:3").
bool ParseDevNumber(const std::string& text, dev_t* out) {
  unsigned maj = 0, min = 0;
  if (std::sscanf(text.c_str(), "%u:%u", &maj, &min) != 2) return false;
  *out = makedev(maj, min);
  return true;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void CollectHolders(const std::string& dir, int depth, std::vector<dev_t>* out) {
  if (depth > 8) return;  // stacks are shallow; this only guards a loop
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir + "/holders", ec)) {
    std::string holder = fs::canonical(entry.path(), ec).string();
    if (ec) continue;
    dev_t number;
    if (!ParseDevNumber(ReadSysfsLine(holder + "/dev"), &number)) continue;
    out->push_back(number);
    CollectHolders(holder, depth + 1, out);
  }
}

// The first attribute of the list that has a value.
std::string FirstLine(const std::vector<std::string>& paths) {
  for (const auto& path : paths) {
    std::string text = ReadSysfsLine(path);
    if (!text.empty()) return text;
  }
  return {};
}

// What a disk's whole binary attribute holds (a VPD page); empty when absent.
std::string ReadSysfsBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The drive's own IDENTIFY strings, which libata keeps in the ATA
// Information page: the SCSI inquiry it builds cuts the model at 16
// characters and names no maker but "ATA".
bool TakeAtaIdentify(const std::string& dev, DeviceIdentity& id) {
  const std::optional<AtaStrings> ata = AtaStringsOfVpd89(ReadSysfsBytes(dev + "vpd_pg89"));
  if (!ata || ata->model.empty()) return false;
  if (TrimBlanks(id.vendor) == "ATA") id.vendor.clear();
  id.product = ata->model;
  id.revision = ata->firmware;
  id.serial = ata->serial;
  id.source = "ata_identify";
  return true;
}

// The NVMe driver's controller attributes are the Identify Controller data.
bool TakeNvmeIdentify(SysfsBus bus, const std::string& dev, DeviceIdentity& id) {
  if (bus != SysfsBus::kNvme) return false;
  id.product = ReadSysfsLine(dev + "model");
  id.revision = ReadSysfsLine(dev + "firmware_rev");
  id.serial = ReadSysfsLine(dev + "serial");
  id.source = "nvme_identify_controller";
  return true;
}

// The serial of the USB device a disk sits behind: that of the nearest
// folder above it with a device descriptor. A device without a serial has
// none; the hubs further up have serials of their own, never the disk's.
std::string UsbDeviceSerialOf(const std::string& disk) {
  for (fs::path at = fs::path(disk).parent_path(); at.has_relative_path(); at = at.parent_path())
    if (Exists((at / "idVendor").string())) return ReadSysfsLine((at / "serial").string());
  return {};
}

// A serial where the drive's own identify data was not to be had, from the
// strongest source that has one; the model stays the SCSI inquiry's.
void TakeWeakerSerial(SysfsBus bus, const std::string& disk, const std::string& dev, DeviceIdentity& id) {
  const auto take = [&id](std::string serial, const char* source) {
    serial = TrimBlanks(serial);
    if (serial.empty() || !id.source.empty()) return;
    id.serial = std::move(serial);
    id.source = source;
  };
  if (bus == SysfsBus::kVirtio) take(ReadSysfsLine(disk + "/serial"), "virtio_serial");
  take(SerialOfVpd80(ReadSysfsBytes(dev + "vpd_pg80")), "scsi_vpd_unit_serial");
  if (bus == SysfsBus::kUsb) take(UsbDeviceSerialOf(disk), "usb_device");
  take(FirstLine({dev + "serial", disk + "/serial"}), bus == SysfsBus::kMmc ? "mmc_cid" : "device_serial");
  // The kernel's world-wide name is made up where the drive gave none, and
  // for ATA drives it is a whole identifier string: only a last resort.
  take(FirstLine({dev + "wwid", disk + "/wwid"}), "wwid");
  if (id.source.empty()) id.source = TrimBlanks(id.product).empty() ? "none" : "scsi_inquiry";
}

}  // namespace

std::string SysfsDirOf(dev_t rdev) {
  std::string link = "/sys/dev/block/" + std::to_string(major(rdev)) + ":" +
                     std::to_string(minor(rdev));
  std::error_code ec;
  fs::path dir = fs::canonical(link, ec);
  return ec ? std::string() : dir.string();
}

std::string ReadSysfsLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  return line;
}

bool IsPartitionDir(const std::string& dir) { return Exists(dir + "/partition"); }

std::string DiskDirOf(const std::string& dir) {
  return IsPartitionDir(dir) ? fs::path(dir).parent_path().string() : dir;
}

uint64_t PartitionStartBytes(const std::string& dir) {
  if (!IsPartitionDir(dir)) return 0;
  return std::strtoull(ReadSysfsLine(dir + "/start").c_str(), nullptr, 10) * 512;
}

uint32_t PartitionNumber(const std::string& dir) {
  return uint32_t(std::strtoul(ReadSysfsLine(dir + "/partition").c_str(), nullptr, 10));
}

std::vector<dev_t> PartitionsOf(const std::string& disk_dir) {
  std::vector<dev_t> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(disk_dir, ec)) {
    std::string sub = entry.path().string();
    dev_t number;
    if (IsPartitionDir(sub) && ParseDevNumber(ReadSysfsLine(sub + "/dev"), &number))
      found.push_back(number);
  }
  return found;
}

std::vector<dev_t> HoldersOf(const std::string& dir) {
  std::vector<dev_t> found;
  CollectHolders(dir, 0, &found);
  return found;
}

SysfsBus BusOfSysfsPath(const std::string& path) {
  auto has = [&](const char* part) { return path.find(part) != std::string::npos; };
  // A USB enclosure shows its bridge's SCSI host below the usb node, so usb
  // is asked first; likewise ata before the generic SCSI host.
  if (has("/usb")) return SysfsBus::kUsb;
  if (has("/nvme")) return SysfsBus::kNvme;
  if (has("/ata")) return SysfsBus::kAta;
  if (has("/virtio")) return SysfsBus::kVirtio;
  if (has("/mmc")) return SysfsBus::kMmc;
  if (has("/virtual/block/loop")) return SysfsBus::kLoop;
  if (has("/virtual/block/")) return SysfsBus::kVirtual;
  if (has("/host") && has("/target")) return SysfsBus::kScsi;
  return SysfsBus::kUnknown;
}

uint32_t GuessBusType(const std::string& path) {
  switch (BusOfSysfsPath(path)) {
    case SysfsBus::kUsb: return winconst::kBusTypeUsb;
    case SysfsBus::kNvme: return winconst::kBusTypeNvme;
    case SysfsBus::kAta: return winconst::kBusTypeSata;
    case SysfsBus::kVirtio:
    case SysfsBus::kVirtual: return winconst::kBusTypeVirtual;
    case SysfsBus::kMmc: return winconst::kBusTypeSd;
    case SysfsBus::kLoop: return winconst::kBusTypeFileBackedVirtual;
    case SysfsBus::kScsi: return winconst::kBusTypeScsi;
    case SysfsBus::kUnknown: break;
  }
  return winconst::kBusTypeUnknown;
}

DeviceIdentity InquiryIdentityFromSysfs(const std::string& dir) {
  std::string disk = DiskDirOf(dir);
  std::string dev = disk + "/device/";
  DeviceIdentity id;
  id.bus_type = GuessBusType(disk);
  id.removable = ReadSysfsLine(disk + "/removable") == "1";
  id.vendor = ReadSysfsLine(dev + "vendor");
  if (id.vendor.rfind("0x", 0) == 0) id.vendor.clear();  // a PCI id (virtio), not a name
  id.product = ReadSysfsLine(dev + "model");
  id.revision = FirstLine({dev + "rev", dev + "firmware_rev"});
  id.serial = FirstLine({dev + "serial", disk + "/serial", dev + "wwid", disk + "/wwid"});
  if (id.bus_type == winconst::kBusTypeFileBackedVirtual) {
    id.product = "Loop device";
    id.serial = ReadSysfsLine(disk + "/loop/backing_file");
  }
  return id;
}

DeviceIdentity IdentityFromSysfs(const std::string& dir) {
  std::string disk = DiskDirOf(dir);
  std::string dev = disk + "/device/";
  DeviceIdentity id = InquiryIdentityFromSysfs(dir);
  id.serial.clear();
  const SysfsBus bus = BusOfSysfsPath(disk);
  if (bus == SysfsBus::kLoop) {
    // A loop device is known by the file behind it.
    id.serial = ReadSysfsLine(disk + "/loop/backing_file");
    id.source = "loop_backing_file";
  } else if (!TakeAtaIdentify(dev, id) && !TakeNvmeIdentify(bus, dev, id)) {
    TakeWeakerSerial(bus, disk, dev, id);
  }
  return id;
}

std::optional<bool> RotationalOf(const std::string& dir) {
  const std::string flag = ReadSysfsLine(DiskDirOf(dir) + "/queue/rotational");
  if (flag == "1") return true;
  if (flag == "0") return false;
  return std::nullopt;
}

}  // namespace plexi::posix
