// Set-up shared by the end-to-end tests of the module: a demo installation made by
// zelutil demo, the session files a terminal of the suite would have, a stand-in
// print program, and the environment that points the module at all of them.
#pragma once

#include <string>

#include "tests/support/tmux_session.h"

namespace testsupport {

// The working date of the tests' sessions (also given as ZEL_FAKE_TODAY).
constexpr const char* moduleToday = "20250315";

std::string shellQuoted(const std::string& s);

// zelutil demo into `folder` with the working date above; the exit status.
int makeDemoInstallation(const std::string& folder, int properties, int seed);

// Sessio.ini (menu title, help topic, then `moreSessio` as it stands, UTF-8) and
// VeskTerm.ini (`screen` lines, then the working date, PANTALLA, the language).
void writeSessionFiles(const std::string& session, const std::string& language, const std::string& moreSessio,
                       const std::string& screen);

// A ZELPRINT script in `folder` that runs `body` (a shell fragment).
void writePrintProgram(const std::string& folder, const std::string& body);

// The module's environment: installation, session folder, print program folder, date.
TmuxSession::Options moduleOptions(const std::string& root, const std::string& session, const std::string& exeDir);

}  // namespace testsupport
