#include "coresys/common/ControllerInfo.h"

namespace {

// A counted list of module states; the vector is only resized after the
// count has been checked against the bytes left.
class StatusList : public OruXdr {
  public:
    explicit StatusList(std::vector<std::uint32_t>& v) : list(v) {}
    void Encode(CodedBuff& buff) override {
        EncodeVal(buff, static_cast<std::uint32_t>(list.size()));
        for (std::uint32_t value : list) {
            EncodeVal(buff, value);
        }
    }
    void Decode(CodedBuff& buff) override {
        std::uint32_t count = 0;
        DecodeVal(buff, count);
        list.clear();
        if (!buff.CanHold(count, 4)) {
            buff.Fail();
            return;
        }
        list.resize(count);
        for (std::uint32_t& value : list) {
            DecodeVal(buff, value);
        }
    }

  private:
    std::vector<std::uint32_t>& list;
};

}  // namespace

void ControllerInfo::Encode(CodedBuff& buff) {
    EncodeVal(buff, active);
    EncodeVal(buff, serialNumber, sizeof serialNumber);
    EncodeVal(buff, pairedSerialNumber, sizeof pairedSerialNumber);
    EncodeVal(buff, vendor, sizeof vendor);
    EncodeVal(buff, productId, sizeof productId);
    EncodeVal(buff, productRev, sizeof productRev);
    EncodeVal(buff, fwRev, sizeof fwRev);
    EncodeVal(buff, mfgProdCode, sizeof mfgProdCode);
    EncodeVal(buff, bkplSlot);
    EncodeVal(buff, targetId);
    EncodeVal(buff, controllerStatus);
    EncodeVal(buff, statusExtra);
    StatusList(batteryStatus).Encode(buff);
    StatusList(dramStatus).Encode(buff);
    StatusList(nvramStatus).Encode(buff);
}

void ControllerInfo::Decode(CodedBuff& buff) {
    DecodeVal(buff, active);
    DecodeVal(buff, serialNumber, sizeof serialNumber);
    DecodeVal(buff, pairedSerialNumber, sizeof pairedSerialNumber);
    DecodeVal(buff, vendor, sizeof vendor);
    DecodeVal(buff, productId, sizeof productId);
    DecodeVal(buff, productRev, sizeof productRev);
    DecodeVal(buff, fwRev, sizeof fwRev);
    DecodeVal(buff, mfgProdCode, sizeof mfgProdCode);
    DecodeVal(buff, bkplSlot);
    DecodeVal(buff, targetId);
    DecodeVal(buff, controllerStatus);
    DecodeVal(buff, statusExtra);
    StatusList(batteryStatus).Decode(buff);
    StatusList(dramStatus).Decode(buff);
    StatusList(nvramStatus).Decode(buff);
}
