#pragma once
// The flash sequence shared by the one-button update and the ISP page's "Auto": enter ISP mode,
// read the flash id, unprotect and erase, blank check, program, verify, protect and leave ISP
// mode, each step as its option says. The steps whose outcome decides whether the run may go on
// are checked: nothing touches the flash unless ISP mode was entered and the flash answered with
// an id, the protection is read back, and a failed leave of ISP mode fails the run.

#include <cstdint>
#include <functional>
#include <string>

#include "flash/FlashWorkers.h"

namespace zarn {

// Where a sequence shows its step texts and its failure.
class SequenceView {
public:
    virtual ~SequenceView() = default;
    virtual void ShowStep(const std::string& text) = 0;
    // The run's first failure only; later ones leave it standing.
    virtual void ShowFailure(const std::string& text) = 0;
};

struct FlashSequence {
    bool IspMode = true;
    bool Erase = true;
    bool Blank = true;
    bool Program = true;
    bool Verify = true;
    bool Protect = true;
    // The erase with its own texts, its failure text included; false when it timed out.
    std::function<bool()> EraseStep;
};

// Runs the sequence over flash addresses [start, end) with the device the transport has found;
// FlashFailed is cleared first and tells the outcome. True when no step failed.
bool RunFlashSequence(FlashContext& context, const FlashSequence& steps, std::uint32_t start,
                      std::uint32_t end, SequenceView& view);

}  // namespace zarn
