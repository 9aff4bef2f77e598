// The split of the command tail into its switches and the skin's name
// (switches.h). Pure: touches neither the system nor the run.

#include "skinsetup/switches.h"

#include "skinsetup/name_case.h"

namespace skinsetup {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads the token at `*at`, its quotes dropped, and moves `*at` past it.
// Returns false when a quote is left open.
bool ReadToken(const std::string& tail, std::size_t* at, std::string* token) {
  bool quoted = false;
  token->clear();
  for (; *at < tail.size() && (quoted || !IsBlank(tail[*at])); ++*at) {
    if (tail[*at] == '"') {
      quoted = !quoted;
    } else {
      *token += tail[*at];
    }
  }
  return !quoted;
}

// True for /S and for the silent switches of the installers administrators
// know, Inno Setup's and Windows Installer's, so that a deployment written
// for those runs unattended rather than waiting for a box. `name` is in
// capitals.
bool IsSilent(const std::string& name) {
  for (const char* silent :
       {"/S", "/VERYSILENT", "/SILENT", "/SUPPRESSMSGBOXES", "/QUIET", "/QN"}) {
    if (name == silent) return true;
  }
  return false;
}

// Applies one switch token. Returns false for one unknown or malformed.
bool ApplySwitch(const std::string& token, Switches* switches) {
  const std::size_t equals = token.find('=');
  const std::string name = AsciiCapitals(token.substr(0, equals));
  if (name == "/LOG" && equals != std::string::npos &&
      equals + 1 < token.size()) {
    switches->bLog = true;
    switches->szLogPath = token.substr(equals + 1);
    return true;
  }
  if (equals != std::string::npos) return false;
  if (IsSilent(name)) return switches->bSilent = true;
  if (name == "/OVERWRITE") return switches->bOverwrite = true;
  if (name == "/UNINSTALL") return switches->bUninstall = true;
  if (name == "/CHECK") return switches->bCheck = true;
  if (name == "/?" || name == "/HELP" || name == "/H") {
    return switches->bHelp = true;
  }
  // The installer never restarts anything, so it has nothing to keep from
  // restarting; deployment scripts pass /NORESTART to every installer.
  return name == "/NORESTART";
}

}  // namespace

bool SplitCommandTail(const std::string& tail, Switches* switches,
                      std::string* skin_name) {
  bool known = true;
  std::size_t at = 0;
  std::string token;
  while (true) {
    std::size_t end = at;
    const bool closed = ReadToken(tail, &end, &token);
    // Today's skin names never start with a separator, so whatever does is
    // a switch and can never have been a working name.
    if (token.empty() || token[0] != '/') break;
    known = closed && ApplySwitch(token, switches) && known;
    // A quote left open takes in the rest of the tail, where a /S (or a
    // switch meaning it) may still be meant.
    if (!closed) {
      for (std::size_t word = 0; word <= token.size();) {
        std::size_t blank = token.find_first_of(" \t", word);
        if (blank == std::string::npos) blank = token.size();
        if (IsSilent(AsciiCapitals(token.substr(word, blank - word)))) {
          switches->bSilent = true;
        }
        word = blank + 1;
      }
    }
    at = end;
    while (at < tail.size() && IsBlank(tail[at])) ++at;
  }
  *skin_name = tail.substr(at);
  // A removal and a check are two runs.
  return known && !(switches->bUninstall && switches->bCheck);
}

}  // namespace skinsetup
