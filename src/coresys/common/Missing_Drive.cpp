#include "coresys/common/Missing_Drive.h"

void Missing_Drive::Encode(CodedBuff& buff) {
    EncodeVal(buff, present);
    EncodeVal(buff, productId, sizeof productId);
    EncodeVal(buff, driveIdNumber, sizeof driveIdNumber);
    EncodeVal(buff, serialNumber, sizeof serialNumber);
    EncodeVal(buff, vendor, sizeof vendor);
    EncodeVal(buff, volSetSerialNumber, sizeof volSetSerialNumber);
    capacity.Encode(buff);
}

void Missing_Drive::Decode(CodedBuff& buff) {
    DecodeVal(buff, present);
    DecodeVal(buff, productId, sizeof productId);
    DecodeVal(buff, driveIdNumber, sizeof driveIdNumber);
    DecodeVal(buff, serialNumber, sizeof serialNumber);
    DecodeVal(buff, vendor, sizeof vendor);
    DecodeVal(buff, volSetSerialNumber, sizeof volSetSerialNumber);
    capacity.Decode(buff);
}
