// The command line of the CSP distribution's Setup.exe. The text inside "-args" is a set of
// Windows Installer options for the CSP's own package: the user's options, with a verbose
// log option and a basic-user-interface option put in front unless the user gave their own.
#pragma once

#include <string>

namespace boot {

// The whole Setup.exe command line. The log option for logPath goes in front of the options
// unless logPath is empty (the options name a log of their own, or none could be made);
// then the quiet option "/qb " ("/qn " when nobody can see) goes in front when no token of
// the options, so extended, starts with "/q".
std::wstring BuildCspCommandLine(const std::wstring& cspFolder, const std::wstring& cspOptions,
                                 const std::wstring& logPath, bool silent, bool reinstall,
                                 bool nobodyCanSee);

}  // namespace boot
