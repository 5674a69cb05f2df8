// Where the user's files live: beside the program, as they always have, when the program may
// write there; otherwise (a program under Program Files run without administrator rights) in a
// folder of the user's own. Windows builds only.
#pragma once

#include <string>

namespace brisalune {

// The files that hold what the user chose. A crash report is not among them: it is written
// afresh wherever the user's files are.
inline constexpr const char* kUserFiles[] = {"citylist.xml", "settings.xml", "widgetlist.xml"};

// Whether a file can be created in the directory now: one is made there and is gone again when
// this returns. Asking the file system itself covers every reason it may refuse (access rights,
// read-only media, a share) where reading the folder's rights would miss some.
bool isWritableDirectory(const std::string& directory);

// "Brisalune" in the user's roaming application data folder; empty when the system names none.
std::string perUserDataDirectory();

// The folder for the user's files: the program's when it is writable. Otherwise the per-user
// folder, made when missing, which starts from the files beside the program: each of them it
// does not hold yet is copied in, so nothing the user had is lost, and a file it already holds
// is never replaced, so its own later changes are kept. When the per-user folder cannot be made,
// or a file beside the program cannot be read or copied, the program's folder is kept for this
// run: the user's files are still read from there, and the next start tries again.
std::string chooseDataDirectory(const std::string& programDirectory, bool programDirectoryWritable,
                                const std::string& perUserDirectory);

// The choice for the running program, made once per process on first use.
std::string dataDirectory();

}  // namespace brisalune
