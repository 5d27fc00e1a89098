#include "coresys/common/Physical_Drive.h"

void Physical_Drive::Encode(CodedBuff& buff) {
    EncodeVal(buff, identityText1, sizeof identityText1);
    EncodeVal(buff, volSetSerialNumber, sizeof volSetSerialNumber);
    EncodeVal(buff, identityText2, sizeof identityText2);
    EncodeVal(buff, vendor, sizeof vendor);
    EncodeVal(buff, productRev, sizeof productRev);
    EncodeVal(buff, serialNumber, sizeof serialNumber);
    capacity.Encode(buff);
    EncodeVal(buff, driveValue1);
    EncodeVal(buff, driveState);
    EncodeVal(buff, driveValue2);
    EncodeVal(buff, driveText, sizeof driveText);
    if (buff.version >= 4) {
        EncodeVal(buff, driveValue3);
        EncodeVal(buff, driveValue4);
    }
}

void Physical_Drive::Decode(CodedBuff& buff) {
    DecodeVal(buff, identityText1, sizeof identityText1);
    DecodeVal(buff, volSetSerialNumber, sizeof volSetSerialNumber);
    DecodeVal(buff, identityText2, sizeof identityText2);
    DecodeVal(buff, vendor, sizeof vendor);
    DecodeVal(buff, productRev, sizeof productRev);
    DecodeVal(buff, serialNumber, sizeof serialNumber);
    capacity.Decode(buff);
    DecodeVal(buff, driveValue1);
    DecodeVal(buff, driveState);
    DecodeVal(buff, driveValue2);
    DecodeVal(buff, driveText, sizeof driveText);
    driveValue3 = 0;
    driveValue4 = 0;
    if (buff.version >= 4) {
        DecodeVal(buff, driveValue3);
        DecodeVal(buff, driveValue4);
    }
}
