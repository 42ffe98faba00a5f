#pragma once
// The window thread's message loop; returns the exit code posted with PostQuitMessage.

namespace toolkit {

int runMessageLoop();

}  // namespace toolkit
