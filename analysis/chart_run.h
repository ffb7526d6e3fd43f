#pragma once

#include <vector>

namespace kx {

// The codes of the shared sample buffer, read number 1 first: CodeCount of them, or fewer when
// the buffer holds fewer.
std::vector<double> SharedRun();

}  // namespace kx
