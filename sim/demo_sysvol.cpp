// A domain controller's SYSVOL tree for the demo world.
#include "sim/demo_sysvol.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace support {
namespace {

struct DemoFile {
  const char* path;  // below the SYSVOL folder
  const char* contents;
};

const DemoFile kDemoSysvolFiles[] = {
    {"brightmere.local/Policies/{31B2F340-016D-11D2-945F-00C04FB984F9}/GPT.INI",
     "[General]\r\nVersion=7\r\ndisplayName=Default Domain Policy\r\n"},
    {"brightmere.local/Policies/{31B2F340-016D-11D2-945F-00C04FB984F9}/MACHINE/Registry.pol",
     "PReg[Software\\Policies\\Microsoft\\Windows\\WindowsUpdate\\AU;NoAutoUpdate]"},
    {"brightmere.local/Policies/{31B2F340-016D-11D2-945F-00C04FB984F9}/MACHINE/Microsoft/Windows NT/SecEdit/"
     "GptTmpl.inf",
     "[Unicode]\r\nUnicode=yes\r\n[System Access]\r\nMinimumPasswordLength = 12\r\nLockoutBadCount = 5\r\n"},
    {"brightmere.local/Policies/{6AC1786C-016F-11D2-945F-00C04FB984F9}/GPT.INI",
     "[General]\r\nVersion=3\r\ndisplayName=Default Domain Controllers Policy\r\n"},
    {"brightmere.local/Policies/{6AC1786C-016F-11D2-945F-00C04FB984F9}/MACHINE/comment.cmtx",
     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<policyComments/>\r\n"},
    {"brightmere.local/Policies/{9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10}/GPT.INI",
     "[General]\r\nVersion=12\r\ndisplayName=Finance Drive Maps\r\n"},
    {"brightmere.local/Policies/{9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10}/User/Preferences/Drives/Drives.xml",
     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
     "<Drives><Drive name=\"F:\" path=\"\\\\SRV02\\Finance\"/></Drives>\r\n"},
    {"brightmere.local/Policies/{9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10}/User/Documents & Settings/fdeploy.ini",
     "[FolderStatus]\r\nMy Documents=11\r\n"},
    {"brightmere.local/scripts/logon.cmd", "@echo off\r\nnet use H: /home\r\n"},
    {"brightmere.local/DfsrPrivate/Staging/staged.ini", "[staging]\r\n"},
};

}  // namespace

void add_demo_sysvol(WorldBuilder& world, const std::string& server) {
  const std::string sysvol = world.machine_dir(server) + "/shares/C$/Windows/SYSVOL/sysvol/";
  for (const DemoFile& file : kDemoSysvolFiles) {
    fs::path path = sysvol + file.path;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << file.contents;
  }
  world.add_registry_text(server, "HKLM",
                          "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Netlogon\\Parameters]\r\n"
                          "\"Sysvol\"=\"C:\\\\Windows\\\\SYSVOL\\\\sysvol\"\r\n"
                          "\"Scripts\"=\"C:\\\\Windows\\\\SYSVOL\\\\sysvol\\\\brightmere.local\\\\scripts\"\r\n\r\n");
}

}  // namespace support
