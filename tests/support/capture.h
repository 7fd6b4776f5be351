// Captures what a piece of code writes to standard output (file descriptor
// 1, so C stdio and anything below it).
#pragma once

#include <functional>
#include <string>

namespace zlk::test {

std::string CaptureStdout(const std::function<void()>& body);

}  // namespace zlk::test
