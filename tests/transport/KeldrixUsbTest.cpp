#include "transport/KeldrixUsb.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/FakeDeviceLayer.h"

namespace zarn {
namespace {

using fakes::FakeDeviceLayer;
using fakes::IoControlCall;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string ProductPath = "\\\\?\\usb#vid_31d4&pid_0053#5&1#{50894fa4}";
const std::string OtherProductPath = "\\\\?\\usb#vid_31d4&pid_0053#5&2#{50894fa4}";
const std::string IspPath = "\\\\?\\usb#vid_1c7a&pid_6000#6&1#{a5dcbf10}";

class KeldrixUsbTest : public ::testing::Test {
protected:
    // A device on the audio path, matched and opened, with nothing recorded yet.
    void OpenProductOnAudioPath() {
        Layer.SetPaths(AudioPathInterfaceClass, {ProductPath});
        Layer.OpenablePaths = {ProductPath};
        Usb.SetAudioMode(true);
        Usb.SetMatch("vid_31d4&pid_0053");
        Usb.Connect();
        ASSERT_TRUE(Usb.Open());
        Layer.Calls.clear();
    }

    void OpenIspDevice() {
        Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {IspPath});
        Layer.OpenablePaths = {IspPath};
        Usb.Connect();
        ASSERT_TRUE(Usb.Open());
        Layer.Calls.clear();
    }

    FakeDeviceLayer Layer;
    KeldrixUsb Usb{Layer};
};

TEST_F(KeldrixUsbTest, StartsOnTheIspPathWithNothingFound) {
    EXPECT_FALSE(Usb.IsAudioMode());
    EXPECT_STREQ(Usb.GetMatch(), "vid_1c7a&pid_6000");
    EXPECT_FALSE(Usb.IsFound());
    EXPECT_FALSE(Usb.HasHandle());
    EXPECT_STREQ(Usb.GetDevicePath(), "");
}

TEST_F(KeldrixUsbTest, WalksTheClassOfTheSelectedPath) {
    Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {IspPath});
    Usb.SetMatch("vid_1c7a&pid_6000");
    Usb.SetAudioMode(true);
    EXPECT_FALSE(Usb.Scan());  // the ISP identity is not an audio interface
    Usb.SetAudioMode(false);
    EXPECT_TRUE(Usb.Scan());
}

TEST_F(KeldrixUsbTest, LaterOfTwoMatchesIsRememberedAndItsProbeDecides) {
    Usb.SetAudioMode(true);
    Usb.SetMatch("vid_31d4&pid_0053");
    Layer.SetPaths(AudioPathInterfaceClass, {ProductPath, OtherProductPath});

    Layer.OpenablePaths = {ProductPath};  // only the earlier one answers
    EXPECT_FALSE(Usb.Connect());
    EXPECT_TRUE(Usb.IsFound());
    EXPECT_EQ(Usb.GetDevicePath(), OtherProductPath);

    Layer.OpenablePaths = {OtherProductPath};
    EXPECT_TRUE(Usb.Connect());
    EXPECT_EQ(Usb.GetDevicePath(), OtherProductPath);
    EXPECT_THAT(Layer.Opened,
                ElementsAre(ProductPath, OtherProductPath, ProductPath, OtherProductPath));
}

TEST_F(KeldrixUsbTest, FailedProbeStillMarksTheDeviceFound) {
    Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {IspPath});
    Layer.OpenablePaths = {IspPath};
    Layer.FailingPaths = {IspPath};
    EXPECT_FALSE(Usb.Connect());
    EXPECT_TRUE(Usb.IsFound());
    EXPECT_EQ(Usb.GetDevicePath(), IspPath);
}

TEST_F(KeldrixUsbTest, ProbesUseTheirOwnHandleAndTheDriversSupportQuery) {
    Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {IspPath});
    Layer.OpenablePaths = {IspPath};
    EXPECT_TRUE(Usb.Connect());
    ASSERT_EQ(Layer.Calls.size(), 1u);
    EXPECT_EQ(Layer.Calls[0].Code, IOCTL_ISP_VENDOR_IN);
    EXPECT_EQ(Layer.Calls[0].Input,
              std::vector<std::uint8_t>({0, 0, 0, 0, 0x80, 6, 0x00, 0x01, 0x01, 0x00, 18, 0,  //
                                         0, 0, 0, 0, 0,    0, 0,    0,    0,    0,    0,  0}));
    EXPECT_EQ(Layer.Calls[0].OutputSize, 18u);
    EXPECT_THAT(Layer.Closed, ElementsAre(Layer.Calls[0].Handle));
    EXPECT_FALSE(Usb.HasHandle());

    Layer.Calls.clear();
    Layer.SetPaths(AudioPathInterfaceClass, {ProductPath});
    Layer.OpenablePaths = {ProductPath};
    Usb.SetAudioMode(true);
    Usb.SetMatch("vid_31d4&pid_0053");
    EXPECT_TRUE(Usb.Connect());
    ASSERT_EQ(Layer.Calls.size(), 1u);
    EXPECT_EQ(Layer.Calls[0].Code, IOCTL_KS_PROPERTY);
    EXPECT_EQ(Layer.Calls[0].Input, EncodeKsProperty(VendorRequestPropertySet, 0, 0x100));
    EXPECT_EQ(Layer.Calls[0].OutputSize, 0u);
}

TEST_F(KeldrixUsbTest, WithoutAListConnectKeepsItsStateAndScanDropsPresence) {
    Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {IspPath});
    Layer.OpenablePaths = {IspPath};
    Usb.Connect();
    Layer.PathsByClass.clear();  // the platform gives no list

    EXPECT_FALSE(Usb.Connect());
    EXPECT_TRUE(Usb.IsFound());
    EXPECT_EQ(Usb.GetDevicePath(), IspPath);
    EXPECT_FALSE(Usb.Scan());
    EXPECT_FALSE(Usb.IsFound());
}

TEST_F(KeldrixUsbTest, ConnectNeverClearsFound) {
    Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {IspPath});
    Layer.OpenablePaths = {IspPath};
    Usb.Connect();
    Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {});
    EXPECT_FALSE(Usb.Connect());
    EXPECT_TRUE(Usb.IsFound());
    Usb.ClearFound();
    EXPECT_FALSE(Usb.IsFound());
}

TEST_F(KeldrixUsbTest, ScanAfterUnplugKeepsThePathButOpenFails) {
    Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {IspPath});
    Layer.OpenablePaths = {IspPath};
    Usb.Connect();
    const auto opensBefore = Layer.Opened.size();
    EXPECT_TRUE(Usb.Scan());
    EXPECT_EQ(Layer.Opened.size(), opensBefore);  // watching opens nothing

    Layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {});
    Layer.OpenablePaths.clear();
    EXPECT_FALSE(Usb.Scan());
    EXPECT_FALSE(Usb.IsFound());
    EXPECT_EQ(Usb.GetDevicePath(), IspPath);
    EXPECT_FALSE(Usb.Open());
    EXPECT_FALSE(Usb.HasHandle());
}

struct MatchCase {
    const char* Name;
    const char* Match;
    std::string Path;
    bool Matches;
};

void PrintTo(const MatchCase& c, std::ostream* out) {
    *out << c.Name;
}

class KeldrixUsbMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(KeldrixUsbMatchTest, MatchesAByteExactSubstring) {
    FakeDeviceLayer layer;
    KeldrixUsb usb(layer);
    layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {GetParam().Path});
    usb.SetMatch(GetParam().Match);
    EXPECT_EQ(usb.Scan(), GetParam().Matches);
    usb.Connect();
    EXPECT_EQ(usb.IsFound(), GetParam().Matches);
    EXPECT_STREQ(usb.GetDevicePath(), GetParam().Matches ? GetParam().Path.c_str() : "");
}

std::string PathOfLength(std::size_t length) {
    const std::string head = "\\\\?\\usb#vid_31d4&pid_0053#";
    return head + std::string(length - head.size(), 'x');
}

INSTANTIATE_TEST_SUITE_P(
    Paths, KeldrixUsbMatchTest,
    ::testing::Values(
        MatchCase{"LowerCase", "vid_31d4&pid_0053", "\\\\?\\usb#vid_31d4&pid_0053#1", true},
        MatchCase{"UpperCasePath", "vid_31d4&pid_0053", "\\\\?\\USB#VID_31D4&PID_0053#1", false},
        MatchCase{"OtherProduct", "vid_31d4&pid_0053", "\\\\?\\usb#vid_31d4&pid_0054#1", false},
        MatchCase{"EmptyMatch", "", "\\\\?\\usb#vid_31d4&pid_0053#1", false},
        MatchCase{"LongestPathThatFits", "vid_31d4&pid_0053", PathOfLength(511), true},
        // A longer path cannot be held whole, and a cut path could name another device.
        MatchCase{"OverlongPath", "vid_31d4&pid_0053", PathOfLength(512), false},
        MatchCase{"VeryLongPath", "vid_31d4&pid_0053", PathOfLength(70000), false}),
    [](const auto& info) { return info.param.Name; });

TEST_F(KeldrixUsbTest, MatchTextHoldsAtMostFortyNineCharacters) {
    const std::string longText(80, 'a');
    Usb.SetMatch(longText.c_str());
    EXPECT_EQ(std::string(Usb.GetMatch()), longText.substr(0, 49));
}

TEST_F(KeldrixUsbTest, RequestsWithoutAHandleNeverReachTheDriver) {
    std::uint8_t data[4] = {};
    EXPECT_FALSE(Usb.VendorRequest(0xC3, 0x81, 0, 0, data, 4));
    OpenIspDevice();
    Usb.Close();
    EXPECT_FALSE(Usb.VendorRequest(0x43, 0x80, 0, 0, data, 4));
    EXPECT_THAT(Layer.Calls, IsEmpty());
}

TEST_F(KeldrixUsbTest, RequestsThatCannotBeAControlTransferFailWithoutIo) {
    OpenIspDevice();
    std::vector<std::uint8_t> big(0x10000);
    EXPECT_FALSE(Usb.VendorRequest(0x43, 0x80, 0, 0, big.data(), 0x10000));
    EXPECT_FALSE(Usb.VendorRequest(0xC3, 0x82, 0, 0, nullptr, 4));
    EXPECT_THAT(Layer.Calls, IsEmpty());
    EXPECT_TRUE(Usb.VendorRequest(0x43, 0x80, 0, 0, big.data(), 0xFFFF));
}

TEST_F(KeldrixUsbTest, OpeningTwiceHoldsOneHandle) {
    OpenIspDevice();
    EXPECT_TRUE(Usb.Open());
    EXPECT_EQ(Layer.HeldHandles(), 1u);
    Usb.Close();
    EXPECT_EQ(Layer.HeldHandles(), 0u);
    Usb.Close();  // nothing held: nothing happens
}

TEST_F(KeldrixUsbTest, DestructorReleasesAHeldHandle) {
    FakeDeviceLayer layer;
    layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {IspPath});
    layer.OpenablePaths = {IspPath};
    {
        KeldrixUsb usb(layer);
        usb.Connect();
        ASSERT_TRUE(usb.Open());
        EXPECT_EQ(layer.HeldHandles(), 1u);
    }
    EXPECT_EQ(layer.HeldHandles(), 0u);
}

struct DirectionCase {
    const char* Name;
    bool AudioMode;
    std::uint8_t RequestType;
    std::uint32_t Code;
    std::uint8_t PropertyFlags;  // audio path only
};

void PrintTo(const DirectionCase& c, std::ostream* out) {
    *out << c.Name;
}

class KeldrixUsbDirectionTest : public KeldrixUsbTest,
                                public ::testing::WithParamInterface<DirectionCase> {};

TEST_P(KeldrixUsbDirectionTest, DirectionBitChoosesCodeAndFlags) {
    const DirectionCase& c = GetParam();
    if (c.AudioMode) {
        OpenProductOnAudioPath();
    } else {
        OpenIspDevice();
    }
    Layer.Answer = {0xAA, 0xBB, 0xCC};
    std::uint8_t data[3] = {1, 2, 3};
    ASSERT_TRUE(Usb.VendorRequest(c.RequestType, 0x81, 0x0203, 0x0405, data, 3));
    ASSERT_EQ(Layer.Calls.size(), 1u);
    const IoControlCall& call = Layer.Calls[0];
    EXPECT_EQ(call.Code, c.Code);
    EXPECT_EQ(call.OutputSize, 3u);
    if (c.AudioMode) {
        ASSERT_EQ(call.Input.size(), 50u);
        EXPECT_EQ(call.Input[20], c.PropertyFlags);
        EXPECT_EQ(call.Input[24], 0x20);  // the caller's request type is not passed on
        EXPECT_THAT(std::vector<std::uint8_t>(call.Input.begin() + 40, call.Input.begin() + 43),
                    ElementsAre(1, 2, 3));  // the caller's bytes, in both directions
    } else {
        EXPECT_EQ(call.Input, std::vector<std::uint8_t>({0,    0,    0,    0,    c.RequestType,
                                                         0x81, 0x03, 0x02, 0x05, 0x04,
                                                         0,    0,  //
                                                         0,    0,    0,    0,    0,
                                                         0,    0,    0,    0,    0,
                                                         0,    0}));
    }
    const bool deviceToHost = (c.RequestType & 0x80) != 0;
    EXPECT_THAT(data, deviceToHost ? ElementsAre(0xAA, 0xBB, 0xCC) : ElementsAre(1, 2, 3));
}

INSTANTIATE_TEST_SUITE_P(
    Requests, KeldrixUsbDirectionTest,
    ::testing::Values(DirectionCase{"IspOut", false, 0x43, IOCTL_ISP_VENDOR_OUT, 0},
                      DirectionCase{"IspIn", false, 0xC3, IOCTL_ISP_VENDOR_IN, 0},
                      DirectionCase{"AudioOut", true, 0x43, IOCTL_KS_PROPERTY, 2},
                      DirectionCase{"AudioIn", true, 0xC3, IOCTL_KS_PROPERTY, 1}),
    [](const auto& info) { return info.param.Name; });

TEST_F(KeldrixUsbTest, ZeroLengthAudioReadPassesFortyEightBytesAndNoOutput) {
    OpenProductOnAudioPath();
    ASSERT_TRUE(Usb.VendorRequest(0xC3, 0x83, 0, 0, nullptr, 0));
    ASSERT_EQ(Layer.Calls.size(), 1u);
    EXPECT_EQ(Layer.Calls[0].Input.size(), 48u);
    EXPECT_EQ(Layer.Calls[0].Input[20], 1);
    EXPECT_EQ(Layer.Calls[0].Input[36], 0);
    EXPECT_EQ(Layer.Calls[0].OutputSize, 0u);
}

TEST_F(KeldrixUsbTest, FailedDriverCallIsReported) {
    OpenIspDevice();
    Layer.FailingPaths = {IspPath};
    std::uint8_t value = 0;
    EXPECT_FALSE(Usb.VendorRequest(0xC3, 0x81, 0, 0, &value, 1));
}

}  // namespace
}  // namespace zarn
