// zarn-flash run as a process against virtual devices: exit codes, output and JSON.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "support/HexText.h"

namespace zarn {
namespace {

struct ProgramRun {
    int Exit;
    std::string Out;
    std::string Error;
    nlohmann::json Json() const { return nlohmann::json::parse(Out); }
};

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Runs the program with standard input from /dev/null (no terminal) in the given folder.
ProgramRun ZarnFlash(const std::string& arguments, const std::filesystem::path& folder) {
    const auto out = folder / "stdout.txt";
    const auto error = folder / "stderr.txt";
    const std::string command = "cd '" + folder.string() + "' && '" ZARN_FLASH_PROGRAM "' " +
                                arguments + " < /dev/null > '" + out.string() + "' 2> '" +
                                error.string() + "'";
    const int status = std::system(command.c_str());
    return {WEXITSTATUS(status), Slurp(out), Slurp(error)};
}

class ZarnFlashTest : public ::testing::Test {
protected:
    ProgramRun Flash(const std::string& arguments) { return ZarnFlash(arguments, Directory.Path); }
    fakes::TemporaryDirectory Directory;
};

TEST_F(ZarnFlashTest, ListNamesProductsAndIspIdentities) {
    const ProgramRun run = Flash("--virtual 2 --virtual-isp 1 list --json");
    ASSERT_EQ(run.Exit, 0) << run.Error;
    const auto list = run.Json();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]["name"], "Zarn Pell");
    EXPECT_EQ(list[1]["identity"], "vid_31d4&pid_0054");
    EXPECT_EQ(list[2]["name"], "ISP, waiting for firmware");
    EXPECT_TRUE(list[2]["isp"].get<bool>());
    EXPECT_EQ(Flash("list").Exit, 3);  // no virtual devices and (here) no USB devices
}

TEST_F(ZarnFlashTest, InfoOnAGoodAndADamagedFile) {
    Directory.Write("good.hex", fakes::DataRecord(0x10, {1, 2, 3, 4}) +
                                    fakes::DataRecord(0x100, {5}) + fakes::EndOfFile);
    Directory.Write("bad.hex", ":0100000001FF\n:00000001FF\n");
    const ProgramRun good = Flash("info good.hex --json");
    ASSERT_EQ(good.Exit, 0) << good.Error;
    const auto info = good.Json();
    EXPECT_EQ(info["length"], 0x101);
    EXPECT_EQ(info["data_bytes"], 5);
    EXPECT_EQ(info["sum"], "0xFB13");  // 15, and 252 gap bytes of 0xFF
    EXPECT_EQ(info["ranges"].size(), 2u);
    EXPECT_EQ(info["ranges"][1]["start"], 0x100);

    const ProgramRun bad = Flash("info bad.hex");
    EXPECT_EQ(bad.Exit, 4);
    EXPECT_EQ(bad.Error, "zarn-flash: bad.hex: line 1: checksum is 0xFF, should be 0xFE\n");
    EXPECT_EQ(Flash("info missing.hex").Exit, 4);
}

TEST_F(ZarnFlashTest, UpdateOneOrAllAndOneFailingAmongThree) {
    const ProgramRun one = Flash("--virtual 1 update --yes --json");
    ASSERT_EQ(one.Exit, 0) << one.Error;
    EXPECT_EQ(one.Json()["results"][0]["result"], "success");

    const ProgramRun all = Flash("--virtual 3 update --all --yes --json");
    ASSERT_EQ(all.Exit, 0) << all.Error;
    const auto report = all.Json();  // the loop must not outlive what it walks
    for (const auto& result : report["results"]) {
        EXPECT_EQ(result["result"], "success") << result.dump();
    }

    const ProgramRun mixed = Flash("--virtual 3 --virtual-worn 1 update --all --yes");
    EXPECT_EQ(mixed.Exit, 1);
    EXPECT_NE(mixed.Out.find("ok      Zarn Pell at"), std::string::npos) << mixed.Out;
    EXPECT_NE(mixed.Out.find("FAILED  Zarn Brax at"), std::string::npos) << mixed.Out;
    EXPECT_NE(mixed.Out.find("Firmware update fail! Verifying Fail at 0x000100"),
              std::string::npos);
    EXPECT_NE(mixed.Out.find("ok      Zarn Tovi at"), std::string::npos);
    // Without a terminal each phase is one plain line.
    EXPECT_NE(mixed.Out.find("Zarn Tovi at virtual3: Start Programming\n"), std::string::npos);
}

TEST_F(ZarnFlashTest, RefusalsAndUsageErrors) {
    const ProgramRun noTerminal = Flash("--virtual 1 update");
    EXPECT_EQ(noTerminal.Exit, 2);
    EXPECT_EQ(noTerminal.Error,
              "zarn-flash: no terminal to ask on; confirm the update with --yes\n");
    const ProgramRun several = Flash("--virtual 2 update --yes");
    EXPECT_EQ(several.Exit, 2);
    EXPECT_NE(several.Error.find("--all"), std::string::npos);
    Directory.Write("bad.hex", ":0100000001FF\n:00000001FF\n");
    EXPECT_EQ(Flash("--virtual 1 update --file bad.hex --yes").Exit, 4);
    EXPECT_EQ(Flash("--virtual 1 update --yes --device nowhere").Exit, 3);
    EXPECT_EQ(Flash("frobnicate").Exit, 2);
    EXPECT_EQ(Flash("--virtual 1 read --out x.bin --size 0x2000000").Exit, 2);
    const ProgramRun help = Flash("--help");
    EXPECT_EQ(help.Exit, 0);
    EXPECT_NE(help.Out.find("3 no device found"), std::string::npos);
}

TEST_F(ZarnFlashTest, RecoverAnIspIdentityDevice) {
    Directory.Write("firmware.hex", fakes::FirmwareHex(0x800));
    const ProgramRun run = Flash("--virtual-isp 1 recover --file firmware.hex --yes --json");
    ASSERT_EQ(run.Exit, 0) << run.Error;
    EXPECT_EQ(run.Json()["results"][0]["name"], "ISP, waiting for firmware");
    EXPECT_EQ(run.Json()["results"][0]["result"], "success");
    EXPECT_EQ(Flash("--virtual 1 recover --file firmware.hex --yes").Exit, 3);  // none in ISP
    // An ISP-identity device named for update needs a file: no product file fits it.
    const auto list = Flash("--virtual-isp 1 list --json").Json();
    const std::string path = list[0]["path"];
    const ProgramRun named = Flash("--virtual-isp 1 update --yes --device '" + path + "'");
    EXPECT_EQ(named.Exit, 2);
    EXPECT_NE(named.Error.find("--file"), std::string::npos);
}

TEST_F(ZarnFlashTest, ReadAndVerifyFindAFlippedByte) {
    const ProgramRun read = Flash("--virtual 1 read --out flash.bin --size 0x1000");
    ASSERT_EQ(read.Exit, 0) << read.Error;
    std::string bytes = Slurp(Directory.Path / "flash.bin");
    ASSERT_EQ(bytes.size(), 0x1000u);
    EXPECT_EQ(Flash("--virtual 1 verify --file flash.bin").Exit, 0);
    bytes[0x123] = static_cast<char>(bytes[0x123] ^ 0x40);
    Directory.Write("flipped.bin", bytes);
    const ProgramRun verify = Flash("--virtual 1 verify --file flipped.bin --json");
    EXPECT_EQ(verify.Exit, 1);
    EXPECT_EQ(verify.Json()["first_difference"], 0x123);
    EXPECT_EQ(verify.Json()["differences"], 1);
}

}  // namespace
}  // namespace zarn
