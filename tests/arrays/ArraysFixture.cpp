#include "ArraysFixture.h"

#include <sstream>

namespace arrays_test {

int SlotNumber(const std::string& name) {
    if (name.size() != 2 || (name[0] != 'A' && name[0] != 'B') || name[1] < '1' || name[1] > '6') {
        return -1;
    }
    return (name[1] - '1') * 2 + (name[0] == 'B' ? 1 : 0);
}

std::string Trim(const char* text) {
    std::string s(text);
    while (!s.empty() && s.back() == ' ') {
        s.pop_back();
    }
    return s;
}

std::uint32_t SubsystemStateOf(StorSys& s) {
    unsigned char block[SubsystemStateRecord::kBlockLength] = {};
    ScsiResult r;
    EXPECT_EQ(s.ReadSubsystemState(0, sizeof block, block, r), 1);
    SubsystemStateRecord record;
    s.DecodeSubsystemState(block, sizeof block, record);
    return record.value[1];
}

std::uint32_t DriveStateOf(StorSys& s, std::uint8_t slot) {
    std::uint32_t word[6] = {};
    ScsiResult r;
    EXPECT_EQ(s.ReadPhysicalDriveState(slot, word, r), 1);
    return word[0];
}

void ArraysTest::SetUp() {
    sim = std::make_unique<testsupport::SimProcess>(root, ORU_BIN_DIR);
    ASSERT_TRUE(sim->Start()) << sim->Process().Stderr();
    OpenArrayDevices(list, scanResult);
}

void ArraysTest::TearDown() {
    CloseArrayDevices(list);
    sim.reset();
}

int ArraysTest::Cli(const std::vector<std::string>& arguments, std::string* output) {
    return sim->Control(arguments, output);
}

std::vector<ShownCabinet> ArraysTest::Show() {
    std::string text;
    std::vector<ShownCabinet> cabinets;
    if (Cli({"show"}, &text) != 0) {
        ADD_FAILURE() << "strovsim show failed";
        return cabinets;
    }
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "cabinet") {
            ShownCabinet c;
            std::string index, word, active;
            words >> index >> c.serial >> word >> c.state >> word >> active >> word >> c.sequence;
            c.active = active.empty() ? '?' : active[0];
            const auto quote = line.find('"');
            if (quote != std::string::npos) {
                c.alias = line.substr(quote + 1, line.rfind('"') - quote - 1);
            }
            cabinets.push_back(c);
        } else if (kind == "controller" && !cabinets.empty()) {
            std::string which, serial;
            words >> which >> serial;
            cabinets.back().controllerSerial[which == "X" ? 0 : 1] = serial;
        } else if (kind == "drive" && !cabinets.empty()) {
            std::string slot, word;
            ShownDrive d;
            words >> slot >> d.serial >> word >> d.state >> word >> d.blocks;
            cabinets.back().drives[SlotNumber(slot)] = d;
        } else if (kind == "lun" && !cabinets.empty()) {
            int lun = -1, raid = 0, state = 0;
            std::string word;
            std::uint32_t blocks = 0;
            words >> lun >> word >> raid >> word >> state >> word >> blocks;
            cabinets.back().lunBlocks[lun] = blocks;
        } else if (kind == "path") {
            std::string name, arrow, rest;
            words >> name >> arrow;
            std::getline(words, rest);
            for (auto& c : cabinets) {
                c.paths[name] = rest.empty() ? rest : rest.substr(1);
            }
        }
    }
    return cabinets;
}

const DeviceRecord* ArraysTest::RecordOf(int cabinet, int controller) const {
    // The default scenario gives cabinet c port c + 1 and its controller k
    // target k.
    for (const DeviceRecord* r = list; r != nullptr; r = r->next) {
        const ScsiDeviceTable::Entry* e = ScsiDeviceTable::Instance().At(r->deviceIndex);
        if (e != nullptr && e->address.portNumber == cabinet + 1 &&
            e->address.targetId == controller) {
            return r;
        }
    }
    return nullptr;
}

std::string ArraysTest::PathOf(int cabinet, int controller) {
    const std::string want =
        "cabinet " + std::to_string(cabinet) + " controller " + (controller == 0 ? "X" : "Y");
    std::vector<ShownCabinet> shown = Show();
    if (shown.empty()) {
        return "";
    }
    for (const char* kind : {"PHYSICALDRIVE", "STROVANE"}) {
        for (int n = 0; n < 64; ++n) {
            auto it = shown[0].paths.find(kind + std::to_string(n));
            if (it == shown[0].paths.end()) {
                break;
            }
            if (it->second == want) {
                return it->first;
            }
        }
    }
    return "";
}

std::vector<std::string> ArraysTest::TraceOf(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(sim->Trace(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

void ArraysTest::ClearTrace(const std::string& path) {
    Cli({"clear-trace", path});
}

}  // namespace arrays_test
