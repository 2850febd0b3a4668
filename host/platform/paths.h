#pragma once
// Where things live at run time: the application directory (resources) and the data directory.
#include <string>
#include <string_view>

namespace platform {

// Full path of the running executable; empty when it cannot be read.
std::string ExecutablePath();

// $SYSDIAGNOSE_APP_DIR when set; else, for an installed program, its share/sysdiagnose directory
// found relative to the executable (../share/sysdiagnose from bin/); else the directory of the
// running executable (the build tree, where the resources are copied beside it).
std::string AppDirectory();

// The user's home: $HOME when it is an absolute path, else the password database's entry of the
// effective user; empty when neither names one.
std::string HomeDirectory();

// $SYSDIAGNOSE_DATA_DIR when set, else $XDG_DATA_HOME/sysdiagnose (when absolute), else
// ~/.local/share/sysdiagnose; empty when there is no home to put it in. Created on demand
// (private, see data_files.h); read afresh on every call so that tests can move it.
std::string DataDirectory();
// The same place, not made: where a reader looks.
std::string DataDirectoryPath();
// The data file `name` in the data directory; empty when there is none.
std::string DataFilePath(std::string_view name);

// A path the plug-in names Windows-style ("config\\SysdiagnoseList.xml") as a path on this system.
std::string NativePath(std::string_view windowsPath);

}  // namespace platform
