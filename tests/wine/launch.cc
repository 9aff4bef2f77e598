// Test-only: starts a program with an exact command line, reads each
// message box it shows from the window itself, answers it, and prints its
// whole exit status (the status of a process under Wine reaches Linux in
// eight bits only).
//
// Wine builds a program's command line from its arguments and quotes those
// that hold blanks; the tests need leading tabs, trailing blanks, quotes and
// letters of any script to reach the installer as typed, so the line comes
// whole, in UTF-16, from the environment variable SKINSETUP_COMMAND_LINE.
// SKINSETUP_ANSWER is "y" or "n", the answer to a Yes/No box; an OK box is
// answered OK. With SKINSETUP_MOVE_AT_BOX, "FROM*TO", another process (this
// one) tries to move FROM to TO while each box is shown.
//
// Output, in UTF-8, a line each: "box", the caption, the text (the box's
// static text control) and the ids of its buttons, separated by tabs, with
// "\\", "\t", "\r" and "\n" written so; "window", the class and the caption
// of any other window the program shows, which ends it; the status last.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 60000;  // For a box to come or go.

// `text` in UTF-8, its backslashes, tabs and line ends written as escapes.
std::string Utf8(const std::wstring& text) {
  std::string utf8(text.size() * 3, '\0');
  utf8.resize(std::max(
      0, WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()),
                             &utf8[0], int(utf8.size()), nullptr, nullptr)));
  std::string escaped;
  for (char c : utf8) {
    escaped += c == '\\'   ? "\\\\"
               : c == '\t' ? "\\t"
               : c == '\r' ? "\\r"
               : c == '\n' ? "\\n"
                           : std::string(1, c);
  }
  return escaped;
}

// A window's text; another process's control answers WM_GETTEXT only.
std::wstring TextOf(HWND window) {
  std::vector<wchar_t> text(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0) + 1);
  const LRESULT length = SendMessageW(window, WM_GETTEXT, text.size(),
                                      reinterpret_cast<LPARAM>(text.data()));
  return std::wstring(text.data(), length > 0 ? length : 0);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

struct Search {
  DWORD process;
  HWND found = nullptr;
};

// Keeps the first visible top-level window of the process.
BOOL CALLBACK FindWindowOf(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND WindowOf(DWORD process) {
  Search search{process};
  EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct Box {
  std::wstring text;
  std::vector<int> buttons;
};

// Notes a message box's text (its static control with a text: the icon's
// has none) and its buttons.
BOOL CALLBACK ReadControl(HWND control, LPARAM data) {
  Box* box = reinterpret_cast<Box*>(data);
  const std::wstring kind = ClassOf(control);
  if (lstrcmpiW(kind.c_str(), L"Button") == 0) {
    box->buttons.push_back(GetDlgCtrlID(control));
  } else if (lstrcmpiW(kind.c_str(), L"Static") == 0 && box->text.empty()) {
    box->text = TextOf(control);
  }
  return TRUE;
}

Box Read(HWND dialog) {
  Box box;
  EnumChildWindows(dialog, ReadControl, reinterpret_cast<LPARAM>(&box));
  return box;
}

}  // namespace

int main() {
  const wchar_t kName[] = L"SKINSETUP_COMMAND_LINE";
  const DWORD size = GetEnvironmentVariableW(kName, nullptr, 0);
  if (size == 0) {
    std::fprintf(stderr, "SKINSETUP_COMMAND_LINE is not set\n");
    return 255;
  }
  wchar_t answer[4] = L"y";
  GetEnvironmentVariableW(L"SKINSETUP_ANSWER", answer, 4);
  wchar_t move[2048] = L"";
  GetEnvironmentVariableW(L"SKINSETUP_MOVE_AT_BOX", move, 2048);
  wchar_t* to = wcschr(move, L'*');
  if (to != nullptr) *to++ = L'\0';
  // CreateProcessW may write to the command line it is given.
  std::vector<wchar_t> command(size + 1);
  GetEnvironmentVariableW(kName, command.data(), size + 1);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "CreateProcessW failed: %lu\n", GetLastError());
    return 254;
  }
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
    const HWND window = WindowOf(process.dwProcessId);
    if (window == nullptr) continue;
    const std::wstring kind = ClassOf(window);
    if (kind != L"#32770") {
      std::printf("window\t%s\t%s\n", Utf8(kind).c_str(),
                  Utf8(TextOf(window)).c_str());
      TerminateProcess(process.hProcess, 252);
      break;
    }
    // Read once it is whole: its buttons are made last.
    Box box = Read(window);
    for (DWORD waited = 0; box.buttons.empty() && waited < kWaitMs;
         waited += 50) {
      Sleep(50);
      box = Read(window);
    }
    std::string ids;
    for (int id : box.buttons)
      ids += (ids.empty() ? "" : ",") + std::to_string(id);
    std::printf("box\t%s\t%s\t%s\n", Utf8(TextOf(window)).c_str(),
                Utf8(box.text).c_str(), ids.c_str());
    std::fflush(stdout);
    if (to != nullptr) MoveFileExW(move, to, 0);
    const bool question = box.buttons.size() == 2;
    const int press = !question ? IDOK : answer[0] == L'n' ? IDNO : IDYES;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, press)));
    for (DWORD waited = 0; IsWindow(window) && waited < kWaitMs; waited += 50) {
      Sleep(50);
    }
    if (IsWindow(window)) {
      std::printf("window\tstuck\t%s\n", Utf8(TextOf(window)).c_str());
      TerminateProcess(process.hProcess, 251);
      break;
    }
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 253;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("%lu\n", static_cast<unsigned long>(status));
  return 0;
}
