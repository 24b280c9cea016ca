#include "transport/WireFormat.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zarn {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t offset,
                                std::size_t size) {
    return {bytes.begin() + offset, bytes.begin() + offset + size};
}

TEST(WireFormat, PropertySetIsInGuidMemoryOrder) {
    EXPECT_THAT(VendorRequestPropertySet.ToBytes(),
                ElementsAre(0x4D, 0xC0, 0xD7, 0xF6, 0xC3, 0xC5, 0x81, 0x41, 0x9E, 0xD7, 0x50, 0x4A,
                            0xBE, 0x0C, 0xDD, 0xFF));
    EXPECT_EQ(GUID_DEVINTERFACE_USB_DEVICE.ToString(), "{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    const auto bytes = AudioPathInterfaceClass.ToBytes();
    EXPECT_EQ(Guid::FromBytes(bytes), AudioPathInterfaceClass);
}

TEST(WireFormat, IoControlCodesFollowTheirComposition) {
    // CTL_CODE(device type, function, method, access)
    const auto ctlCode = [](std::uint32_t type, std::uint32_t function, std::uint32_t method) {
        return (type << 16) | (0u << 14) | (function << 2) | method;
    };
    EXPECT_EQ(IOCTL_ISP_VENDOR_OUT, ctlCode(0x22, 0x90A, 1));  // METHOD_IN_DIRECT
    EXPECT_EQ(IOCTL_ISP_VENDOR_IN, ctlCode(0x22, 0x90B, 2));   // METHOD_OUT_DIRECT
    EXPECT_EQ(IOCTL_KS_PROPERTY, ctlCode(0x2F, 0, 3));         // METHOD_NEITHER
}

TEST(WireFormat, ZeroLengthAudioRequestIsFortyEightBytes) {
    const auto request = EncodeAudioPropertyRequest(true, 0xA5, 0x1234, 0xBEEF, {});
    ASSERT_EQ(request.size(), 48u);
    EXPECT_THAT(Slice(request, 0, 16), ElementsAreArray(VendorRequestPropertySet.ToBytes()));
    EXPECT_THAT(Slice(request, 16, 4), ElementsAre(7, 0, 0, 0));
    EXPECT_THAT(Slice(request, 20, 4), ElementsAre(1, 0, 0, 0));  // get
    EXPECT_THAT(Slice(request, 24, 6), ElementsAre(0x20, 0xA5, 0x34, 0x12, 0xEF, 0xBE));
    EXPECT_THAT(Slice(request, 30, 18), Each(0));  // reserved, data length 0, tail
}

TEST(WireFormat, AudioRequestCarriesTheDataAndAZeroTail) {
    const std::vector<std::uint8_t> data{1, 2, 3, 4, 5};
    const auto request = EncodeAudioPropertyRequest(false, 0x80, 0x0102, 0x0001, data);
    ASSERT_EQ(request.size(), data.size() + 47);
    EXPECT_THAT(Slice(request, 20, 4), ElementsAre(2, 0, 0, 0));  // set
    EXPECT_EQ(request[24], 0x20);
    EXPECT_THAT(Slice(request, 36, 4), ElementsAre(5, 0, 0, 0));
    EXPECT_THAT(Slice(request, 40, 5), ElementsAreArray(data));
    EXPECT_THAT(Slice(request, 45, 7), Each(0));

    const auto fields = DecodeAudioPropertyRequest(request);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->bRequest, 0x80);
    EXPECT_EQ(fields->wValue, 0x0102);
    EXPECT_EQ(fields->wIndex, 0x0001);
    EXPECT_THAT(std::vector<std::uint8_t>(fields->Data.begin(), fields->Data.end()),
                ElementsAreArray(data));
}

TEST(WireFormat, DecodingRefusesRecordsThatDoNotHoldWhatTheyAnnounce) {
    auto request = EncodeAudioPropertyRequest(false, 1, 2, 3, std::vector<std::uint8_t>(4, 9));
    request[36] = 200;  // announces more data than the record holds
    EXPECT_FALSE(DecodeAudioPropertyRequest(request));
    EXPECT_FALSE(DecodeAudioPropertyRequest(std::vector<std::uint8_t>(39, 0)));
    EXPECT_FALSE(DecodeKsProperty(std::vector<std::uint8_t>(23, 0)));
    EXPECT_FALSE(DecodeIspRequestRecord(std::vector<std::uint8_t>(25, 0)));
}

TEST(WireFormat, IspRecordHoldsTheSetupPacketAtOffsetFour) {
    const auto record = EncodeIspRequestRecord({0x80, 6, 0x0100, 0x0001, 18});
    EXPECT_THAT(record, ElementsAre(0, 0, 0, 0, 0x80, 6, 0x00, 0x01, 0x01, 0x00, 18, 0,  //
                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    const SetupPacket expected{0x80, 6, 0x0100, 0x0001, 18};
    EXPECT_EQ(DecodeIspRequestRecord(record), expected);
}

}  // namespace
}  // namespace zarn
