#pragma once
// What the user is told when the automatic transport choice passed the
// built-in transport over although the kernel lists CD/DVD drives: the
// recorders then shown are a library's (usually the virtual recorder), and
// a real drive would otherwise seem to have vanished without a word.

#include <string>

namespace device {

// Empty when the built-in transport is in use, or no drive is listed.
std::string PassedOverDrivesNote();

}  // namespace device
