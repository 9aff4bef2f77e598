// The switches that may come before the skin's name in the command tail,
// and their split from it. Pure: touches neither the system nor the run.
//
// They are for deployment tools that start the installer with no one at
// the screen:
//   /S            unattended: no box is shown, the question is answered No;
//                 /VERYSILENT, /SILENT, /SUPPRESSMSGBOXES, /QUIET and /QN,
//                 the silent switches of other installers, mean it too;
//   /NORESTART    accepted, and changes nothing;
//   /OVERWRITE    the question whether to overwrite an installed skin is
//                 answered Yes;
//   /LOG="path"   one line per step and per box is appended to `path`;
//   /UNINSTALL    the skin is removed instead of installed;
//   /CHECK        the package is checked for its author, not installed;
//   /?            the switches are shown, and nothing else happens; /HELP
//                 and /H mean it too.
// Names are matched in any case. A switch is a token up to a blank or a tab
// outside double quotes; each double quote opens or closes a quoted part
// and is dropped, as a Windows command line quotes a path. Whatever follows
// the switches and the blanks after them is the skin's name, as typed.

#ifndef SKINSETUP_SKINSETUP_SWITCHES_H_
#define SKINSETUP_SKINSETUP_SWITCHES_H_

#include <string>

namespace skinsetup {

struct Switches {
  bool bSilent = false;     // /S and its synonyms
  bool bOverwrite = false;  // /OVERWRITE
  bool bLog = false;        // /LOG=
  bool bUninstall = false;  // /UNINSTALL
  bool bCheck = false;      // /CHECK
  bool bHelp = false;       // /?, /HELP, /H
  std::string szLogPath;
};

// Splits `tail` into its switches and the skin's name. A tail whose first
// token does not start with '/' has no switches: all of it is the name.
// Returns false for a switch it does not know, one malformed (a quote left
// open, /LOG without a path), and /UNINSTALL with /CHECK; `switches` then
// still tells whether /S
// was among them, so that an unattended run never waits for a box.
bool SplitCommandTail(const std::string& tail, Switches* switches,
                      std::string* skin_name);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_SWITCHES_H_
