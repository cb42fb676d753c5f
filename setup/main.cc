// setup: installs, installs again or removes the system's package that
// lies beside it, in the language the administrator chooses.
//
//   setup                                      language dialog, or the
//                                              installation again when the
//                                              package is there
//   setup /w /L1031                            unattended, in German
//   setup /w /L1033 /S /v"OPTIONS"             unattended, with options
//   setup /w /L1033 DELETEMESS /S /v""         unattended removal
//
// Everything it does goes to ZELT_Setup.txt in the temporary folder.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/env.h"
#include "setup/bootstrap.h"
#include "setup/installer_command.h"
#include "setup/system_host.h"

namespace {

constexpr char kUsage[] =
    "usage: setup                      choose the language in a dialog and install\n"
    "       setup /w /LNNNN            install unattended in language NNNN\n"
    "                                  (1033 English, 1031 German, ...)\n"
    "       setup /w /LNNNN /S /v\"OPTIONS\" [DELETEMESS]\n"
    "                                  the same with installer options, or remove\n"
    "Run setup as root, or it asks for administrator rights through pkexec.\n"
    "The log is ZELT_Setup.txt in the temporary folder.\n";

// What the setup of the original platform took for the system folder of
// its installer; here the folder of the system's programs.
constexpr char kSystemFolder[] = "/usr";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::string line = setup::CommandLineOf(args);
  platform::Env* env = platform::Env::Default();
  setup::SetupFacts facts{kSystemFolder, setup::SystemLanguage(),
                          env->ProgramDir() + "/", ZELT_PACKAGE_FILE};
  bool unattended = setup::IsUnattended(line);
  setup::SystemHost host(env->TempDir() + "/ZELT_Setup.txt",
                         unattended || ::isatty(STDERR_FILENO));
  host.Log("setup " + line);

  std::unique_ptr<setup::LibraryDialog> dialog;
  if (!unattended && setup::HaveDisplay()) {
    std::string error;
    dialog = setup::LibraryDialog::Load(&error);
    if (!dialog) host.Log("setup: the language dialog cannot be loaded: " + error);
  }
  int status = setup::RunSetup(line, facts, host, dialog.get());
  host.Log("setup ends with exit status " + std::to_string(status));
  return status;
}
