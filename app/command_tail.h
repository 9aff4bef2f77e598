// The command tail: what the installer takes as the skin's name.

#ifndef SKINSETUP_APP_COMMAND_TAIL_H_
#define SKINSETUP_APP_COMMAND_TAIL_H_

#include <string>

namespace app {

// Cuts the tail from a whole Windows command line: leading blanks and tabs,
// the program token (from a leading double quote up to and including the
// next one, or to the end; otherwise up to the first blank or tab) and the
// blanks and tabs after it go; the rest stays exactly as typed.
std::string CutCommandTail(const char* command_line);

// The program token of a whole Windows command line, its quotes removed, as
// the runtime's argument splitter gives it as the first argument.
std::string FirstArgument(const char* command_line);

// Forms the tail from an argument vector: the arguments after the first,
// joined by single blanks, without leading blanks and tabs. A leading
// switch (an argument that starts with '/') holding a blank or a tab, and
// no double quote, is put in double quotes. A first argument "--help", as
// POSIX programs take it, is the switch "/?".
std::string JoinArguments(int argc, const char* const* argv);

}  // namespace app

#endif  // SKINSETUP_APP_COMMAND_TAIL_H_
