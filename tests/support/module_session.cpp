#include "tests/support/module_session.h"

#include <sys/stat.h>

#include <cstdlib>

#include "tests/support/test_support.h"

namespace testsupport {

std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

int makeDemoInstallation(const std::string& folder, int properties, int seed) {
    const std::string command = "ZEL_FAKE_TODAY=" + std::string(moduleToday) + " " +
                                shellQuoted(binDir() + "/zelutil") + " demo " + shellQuoted(folder) +
                                " --properties " + std::to_string(properties) + " --seed " + std::to_string(seed) +
                                " >/dev/null";
    return std::system(command.c_str());
}

void writeSessionFiles(const std::string& session, const std::string& language, const std::string& moreSessio,
                       const std::string& screen) {
    writeFile(session + "Sessio.ini", cp850("[Menu]\r\nTitol=Relació de rebuts\r\nNomMenu=RPTREBUT\r\n" + moreSessio));
    writeFile(session + "VeskTerm.ini", screen + "[Sistema]\r\nData=" + std::string(moduleToday) +
                                            "\r\nSortida=PANTALLA\r\nIdioma=" + language + "\r\n");
}

void writePrintProgram(const std::string& folder, const std::string& body) {
    writeFile(folder + "ZELPRINT", "#!/bin/sh\n" + body + "\n");
    ::chmod((folder + "ZELPRINT").c_str(), 0755);
}

TmuxSession::Options moduleOptions(const std::string& root, const std::string& session, const std::string& exeDir) {
    TmuxSession::Options o;
    o.env = {{"ZELROOT", root},
             {"ZELTMP", session},
             {"ZELEXE", exeDir},
             {"ZEL_FAKE_TODAY", moduleToday},
             {"TERM", "xterm-256color"}};
    return o;
}

}  // namespace testsupport
