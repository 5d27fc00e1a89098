// The parts of an array as the Device Properties sheet shows them: its
// controllers, disks, fans and power supplies, each with a status value, a
// name and detail lines; the lines of the array itself; the change test that
// decides when the status tree is built again; and where each component sits
// in the cabinet pictures. Plain data over a DiskArrayState, no widgets.
#pragma once

#include <QRect>

#include <cstdint>
#include <string>
#include <vector>

#include "gui/DeviceStatus.h"

class DiskArrayState;

namespace oru {

enum class ComponentKind : std::uint32_t {
    kController = 1,
    kDisk = 2,
    kFan = 3,
    kPowerSupply = 4,
};

inline constexpr ComponentKind kComponentKinds[] = {ComponentKind::kController,
                                                    ComponentKind::kDisk, ComponentKind::kFan,
                                                    ComponentKind::kPowerSupply};

// A component as one number: the kind in bits 16-31, the index in bits 0-15.
constexpr std::uint32_t PackComponent(ComponentKind kind, std::uint32_t index) {
    return static_cast<std::uint32_t>(kind) << 16 | (index & 0xFFFFu);
}
constexpr ComponentKind KindOf(std::uint32_t key) {
    return static_cast<ComponentKind>(key >> 16);
}
constexpr std::uint32_t IndexOf(std::uint32_t key) {
    return key & 0xFFFFu;
}

// How many components of a kind a state holds: its controller and drive
// entries, the fans (first hardware list) and power supplies (second list).
// 0 of every kind when the state is not valid.
std::uint32_t ComponentCount(const DiskArrayState& state, ComponentKind kind);

struct ComponentStatus {
    int value = DS_NO_DATA;
    // The conditions behind the value ("Battery failure", "Failed", ...),
    // joined with ", "; empty when there are none.
    std::string detail;
};

// The status of component `index` of a kind; value 10 for an index the
// state does not hold.
ComponentStatus EvaluateComponent(const DiskArrayState& state, ComponentKind kind,
                                  std::uint32_t index);

// "Controller X", "Disk A3", "Disk B3", "Fan 1", "Power Supply 2".
std::string ComponentName(ComponentKind kind, std::uint32_t index);
// The group of a kind in the status tree: "Controllers", "Disks", ...
std::string GroupName(ComponentKind kind);

struct DetailLine {
    std::string label;
    std::string value;
};

// The lines below a component: its condition first, then what the kind
// shows (state, address and identity of a controller; capacity and identity
// of a disk).
std::vector<DetailLine> ComponentDetails(const DiskArrayState& state, ComponentKind kind,
                                         std::uint32_t index);
// The lines below the array: condition, serial number, alias, active spare,
// automatic include and rebuild, rebuild priority.
std::vector<DetailLine> ArrayDetails(const DiskArrayState& state,
                                     const StatusEvaluation& evaluation);

// The image of a status value in the status image list: 2 and 10 image 6,
// 3 image 7, 4 image 8, 5 to 7 image 9, any other image 0.
int StatusImageIndex(int value);

// A disk's capacity in hundredths of 10^9 bytes, truncated ("12.34 GB" as
// the disk's own label counts).
std::uint32_t DiskCapacityHundredths(std::uint64_t lastBlock, std::uint32_t blockSize);

// Remembers what the status tree last showed: the array's value and text
// and, per kind, each component's value. Changed() compares a state with it
// and remembers the state's figures.
class CStatusModel {
  public:
    // True when the array's value or text, any component's value, or the
    // number of components of any kind differs from what was remembered.
    bool Changed(const DiskArrayState& state);
    const StatusEvaluation& Array() const { return array_; }

  private:
    bool first_ = true;
    StatusEvaluation array_;
    std::vector<int> components_[4];
};

// The cabinet pictures: the controller type code of the state (1 or 2)
// chooses the picture and where its components sit.
struct CabinetLayout {
    // Picture size; every layout draws in this size.
    static constexpr int kWidth = 170;
    static constexpr int kHeight = 150;

    // The rectangle of a component in picture coordinates (left, top,
    // right, bottom as the picture counts them, right and bottom outside),
    // or an empty rectangle when the layout has no place for it.
    static QRect ComponentRect(std::uint32_t layoutType, ComponentKind kind, std::uint32_t index);
    // Whether the layout has drawn places at all.
    static bool HasPlaces(std::uint32_t layoutType) { return layoutType == 1 || layoutType == 2; }
};

// The disk picture of the Diagnostics page: two columns of six disks.
struct DiskLayout {
    static constexpr int kWidth = 90;
    static constexpr int kHeight = 100;
    static constexpr std::uint32_t kDisks = 12;
    // The rectangle of disk `index` in picture coordinates; empty beyond
    // the twelve slots.
    static QRect DiskRect(std::uint32_t index);
};

}  // namespace oru
