// The socket device's frames against literal bytes of the "Transport" section
// of docs/controller-interface.md.
#include "platform/scsi/ScsiWire.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::ScsiDirection;
using platform::ScsiWire;
using platform::ScsiWireOp;
using platform::ScsiWireReply;
using platform::ScsiWireRequest;
using platform::ScsiWireStatus;
using Bytes = std::vector<std::uint8_t>;

// INQUIRY page 0x80, 48 bytes in, 10 s.
const Bytes kInquiryRequest = {
    0x00, 0x00, 0x00, 0x1C,                          // body length 28
    0x03, 0x02, 0x06, 0x00,                          // pass-through, in, CDB length 6
    0x00, 0x00, 0x00, 0x30,                          // transfer 48
    0x00, 0x00, 0x00, 0x0A,                          // time-out 10 s
    0x12, 0x01, 0x80, 0x00, 0x30, 0x00, 0x00, 0x00,  // CDB
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// WRITE ALIAS-like data-out of 3 bytes.
const Bytes kOutRequest = {
    0x00, 0x00, 0x00, 0x1F,  // body length 28 + 3
    0x03, 0x01, 0x0A, 0x00,  // pass-through, out, CDB length 10
    0x00, 0x00, 0x00, 0x03,  // transfer 3
    0x00, 0x00, 0x00, 0x20,  // 32 s
    0xFD, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 'a',  'b',  'c',
};

// CHECK CONDITION with the 26 bytes of sense and 2 data bytes (a refused 0xEE).
const Bytes kRefusalReply = {
    0x00, 0x00, 0x00, 0x2C,  // body length 16 + 26 + 2
    0x03, 0x02, 0x1A, 0x00,  // pass-through, status 2, sense length 26
    0x00, 0x00, 0x00, 0x00,  // no system error
    0x00, 0x00, 0x00, 0x02,  // bytes moved 2
    0x00, 0x00, 0x00, 0x02,  // data-in 2
    0x70, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x80,  // sense 0..12
    0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // sense 13..25
    0x00, 0x07,                                                                    // data
};

const Bytes kAddressReply = {
    0x00, 0x00, 0x00, 0x18,  // body length 16 + 8
    0x01, 0x00, 0x00, 0x00,  // GET_ADDRESS
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00,
    0x08, 0x00, 0x00, 0x00, 0x08, 0x02, 0x00, 0x05, 0x00,  // length 8, port 2, path 0, target 5,
                                                           // lun 0
};

const Bytes kSystemErrorReply = {
    0x00, 0x00, 0x00, 0x10, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x13,  // ENODEV
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

TEST(ScsiWireRequestTest, DecodesLiteralInquiryFrame) {
    ScsiWireRequest request;
    ASSERT_EQ(ScsiWire::DecodeRequest(kInquiryRequest, request), ScsiWireStatus::Ok);
    EXPECT_EQ(request.op, ScsiWireOp::PassThrough);
    EXPECT_EQ(request.direction, ScsiDirection::In);
    EXPECT_EQ(request.cdbLength, 6);
    EXPECT_EQ(request.transferLength, 48u);
    EXPECT_EQ(request.timeoutSeconds, 10u);
    EXPECT_EQ(request.cdb[0], 0x12);
    EXPECT_EQ(request.cdb[2], 0x80);
    EXPECT_EQ(request.cdb[4], 0x30);
    EXPECT_TRUE(request.dataOut.empty());
}

TEST(ScsiWireRequestTest, EncodesTheSameBytesAsTheLayoutTable) {
    ScsiWireRequest request;
    request.op = ScsiWireOp::PassThrough;
    request.direction = ScsiDirection::In;
    request.cdbLength = 6;
    request.transferLength = 48;
    request.timeoutSeconds = 10;
    request.cdb = {0x12, 0x01, 0x80, 0x00, 0x30, 0x00};
    Bytes frame;
    ASSERT_EQ(ScsiWire::EncodeRequest(request, frame), ScsiWireStatus::Ok);
    EXPECT_EQ(frame, kInquiryRequest);

    ScsiWireRequest out;
    out.direction = ScsiDirection::Out;
    out.cdbLength = 10;
    out.transferLength = 3;
    out.timeoutSeconds = 32;
    out.cdb = {0xFD, 0, 0, 0, 0, 0, 0, 0, 3, 0};
    out.dataOut = {'a', 'b', 'c'};
    ASSERT_EQ(ScsiWire::EncodeRequest(out, frame), ScsiWireStatus::Ok);
    EXPECT_EQ(frame, kOutRequest);
}

TEST(ScsiWireRequestTest, DataOutFollowsTheFixedPart) {
    ScsiWireRequest request;
    ASSERT_EQ(ScsiWire::DecodeRequest(kOutRequest, request), ScsiWireStatus::Ok);
    EXPECT_EQ(request.direction, ScsiDirection::Out);
    EXPECT_EQ(request.dataOut, (Bytes{'a', 'b', 'c'}));
}

TEST(ScsiWireRequestTest, RefusesFramesThatLieOrOverflow) {
    ScsiWireRequest request;
    // Truncated anywhere: never read past the end.
    for (std::size_t n = 0; n < kOutRequest.size(); ++n) {
        Bytes cut(kOutRequest.begin(), kOutRequest.begin() + static_cast<long>(n));
        EXPECT_NE(ScsiWire::DecodeRequest(cut, request), ScsiWireStatus::Ok) << n;
    }
    Bytes longer = kInquiryRequest;
    longer.push_back(0);
    EXPECT_EQ(ScsiWire::DecodeRequest(longer, request), ScsiWireStatus::LengthMismatch);

    Bytes huge = kInquiryRequest;  // body length 0x00100100 > 28 + 1 MiB
    huge[1] = 0x10;
    huge[2] = 0x01;
    EXPECT_EQ(ScsiWire::DecodeRequest(huge, request), ScsiWireStatus::TooLong);

    Bytes cdb17 = kInquiryRequest;
    cdb17[6] = 17;
    EXPECT_EQ(ScsiWire::DecodeRequest(cdb17, request), ScsiWireStatus::BadField);

    Bytes badOp = kInquiryRequest;
    badOp[4] = 9;
    EXPECT_EQ(ScsiWire::DecodeRequest(badOp, request), ScsiWireStatus::BadField);

    Bytes badDir = kInquiryRequest;
    badDir[5] = 3;
    EXPECT_EQ(ScsiWire::DecodeRequest(badDir, request), ScsiWireStatus::BadField);

    // Out with a transfer length of 4 but 3 data bytes.
    Bytes lying = kOutRequest;
    lying[11] = 4;
    EXPECT_EQ(ScsiWire::DecodeRequest(lying, request), ScsiWireStatus::LengthMismatch);

    // Transfer length over 1 MiB.
    Bytes bigTransfer = kInquiryRequest;
    bigTransfer[9] = 0x10;
    bigTransfer[11] = 0x01;
    EXPECT_EQ(ScsiWire::DecodeRequest(bigTransfer, request), ScsiWireStatus::TooLong);

    // Data-in commands carry no data-out.
    Bytes inWithData = kInquiryRequest;
    inWithData[3] = 0x1D;
    inWithData.push_back(0);
    EXPECT_EQ(ScsiWire::DecodeRequest(inWithData, request), ScsiWireStatus::LengthMismatch);
}

TEST(ScsiWireReplyTest, DecodesLiteralRefusalWithData) {
    ScsiWireReply reply;
    ASSERT_EQ(ScsiWire::DecodeReply(kRefusalReply, reply), ScsiWireStatus::Ok);
    EXPECT_EQ(reply.scsiStatus, 0x02);
    EXPECT_EQ(reply.systemError, 0);
    EXPECT_EQ(reply.bytesMoved, 2u);
    ASSERT_EQ(reply.sense.size(), 26u);
    EXPECT_EQ(reply.sense[2], 0x05);
    EXPECT_EQ(reply.sense[7], 18);
    EXPECT_EQ(reply.sense[12], 0x80);
    EXPECT_EQ(reply.sense[13], 0x28);
    EXPECT_EQ(reply.dataIn, (Bytes{0x00, 0x07}));
}

TEST(ScsiWireReplyTest, EncodesTheSameBytesAsTheLayoutTable) {
    ScsiWireReply reply;
    reply.op = ScsiWireOp::PassThrough;
    reply.scsiStatus = 2;
    reply.bytesMoved = 2;
    reply.sense = {0x70, 0, 5, 0, 0, 0, 0, 18, 0, 0, 0, 0, 0x80,
                   0x28, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0};
    reply.dataIn = {0x00, 0x07};
    Bytes frame;
    ASSERT_EQ(ScsiWire::EncodeReply(reply, frame), ScsiWireStatus::Ok);
    EXPECT_EQ(frame, kRefusalReply);

    ScsiWireReply failed;
    failed.systemError = 19;
    ASSERT_EQ(ScsiWire::EncodeReply(failed, frame), ScsiWireStatus::Ok);
    EXPECT_EQ(frame, kSystemErrorReply);
}

TEST(ScsiWireReplyTest, AddressAndSystemErrorReplies) {
    ScsiWireReply reply;
    ASSERT_EQ(ScsiWire::DecodeReply(kAddressReply, reply), ScsiWireStatus::Ok);
    EXPECT_EQ(reply.op, ScsiWireOp::GetAddress);
    EXPECT_EQ(reply.dataIn, (Bytes{0, 0, 0, 8, 2, 0, 5, 0}));

    ASSERT_EQ(ScsiWire::DecodeReply(kSystemErrorReply, reply), ScsiWireStatus::Ok);
    EXPECT_EQ(reply.systemError, 19);
    EXPECT_TRUE(reply.dataIn.empty());
}

TEST(ScsiWireReplyTest, RefusesRepliesThatLieAboutTheirLengths) {
    ScsiWireReply reply;
    for (std::size_t n = 0; n < kRefusalReply.size(); ++n) {
        Bytes cut(kRefusalReply.begin(), kRefusalReply.begin() + static_cast<long>(n));
        EXPECT_NE(ScsiWire::DecodeReply(cut, reply), ScsiWireStatus::Ok) << n;
    }
    // Sense length claims 200 bytes that are not there.
    Bytes senseLie = kRefusalReply;
    senseLie[6] = 200;
    EXPECT_EQ(ScsiWire::DecodeReply(senseLie, reply), ScsiWireStatus::LengthMismatch);
    // Data-in length 0xFFFFFFFF.
    Bytes dataLie = kRefusalReply;
    dataLie[16] = dataLie[17] = dataLie[18] = dataLie[19] = 0xFF;
    EXPECT_EQ(ScsiWire::DecodeReply(dataLie, reply), ScsiWireStatus::TooLong);
    // Data-in present but unequal to bytes moved.
    Bytes movedLie = kRefusalReply;
    movedLie[15] = 9;
    EXPECT_EQ(ScsiWire::DecodeReply(movedLie, reply), ScsiWireStatus::LengthMismatch);
    // Body length over the largest legal reply.
    Bytes huge = kRefusalReply;
    huge[0] = 0x7F;
    EXPECT_EQ(ScsiWire::DecodeReply(huge, reply), ScsiWireStatus::TooLong);
    // Reserved byte set.
    Bytes reserved = kRefusalReply;
    reserved[7] = 1;
    EXPECT_EQ(ScsiWire::DecodeReply(reserved, reply), ScsiWireStatus::BadField);
}

TEST(ScsiWireReplyTest, EncoderRefusesWhatTheDecoderWouldRefuse) {
    ScsiWireReply reply;
    reply.sense.assign(256, 0);
    Bytes frame;
    EXPECT_EQ(ScsiWire::EncodeReply(reply, frame), ScsiWireStatus::TooLong);
    EXPECT_TRUE(frame.empty());
    ScsiWireReply mismatch;
    mismatch.dataIn = {1, 2, 3};
    mismatch.bytesMoved = 4;
    EXPECT_EQ(ScsiWire::EncodeReply(mismatch, frame), ScsiWireStatus::LengthMismatch);
}

}  // namespace
