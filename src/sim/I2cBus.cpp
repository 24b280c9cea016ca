#include "sim/I2cBus.h"

namespace zarn {

bool RegisterI2cDevice::Write(std::uint8_t value) {
    if (ExpectPointer) {
        Pointer = value;
        ExpectPointer = false;
    } else {
        Registers[Pointer++] = value;
    }
    return true;
}

}  // namespace zarn
