// The libusb tests run with umockdev's preload library, which puts the emulated sysfs and
// usbfs in place of the real ones. Without it in LD_PRELOAD the program starts itself again
// with it; under AddressSanitizer the sanitizer's runtime has to come first.

#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* PreloadLibrary = "libumockdev-preload.so.0";

int FindAsanRuntime(dl_phdr_info* info, std::size_t, void* found) {
    if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "libasan.so") != nullptr) {
        *static_cast<std::string*>(found) = info->dlpi_name;
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
        std::string asanRuntime;
        dl_iterate_phdr(&FindAsanRuntime, &asanRuntime);
        std::string libraries = asanRuntime.empty() ? "" : asanRuntime + ":";
        libraries += PreloadLibrary;
        if (preload != nullptr && *preload != '\0') {
            libraries += std::string(":") + preload;
        }
        setenv("LD_PRELOAD", libraries.c_str(), 1);
        execv("/proc/self/exe", argv);
        return 127;  // could not start again
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
