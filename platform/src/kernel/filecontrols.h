// kernel/filecontrols.h: the file controls of testing.h as the kernel's file calls see
// them: where drive C: lies, the temporary folder, and the record of opened names.
// Any thread.
#pragma once

#include <string>
#include <string_view>

namespace kernel {

// The Linux folder that stands for "C:\", with a trailing '/': "/" unless a test mapped
// drive C: elsewhere.
std::string DriveRootPrefix();
// An absolute Linux path as seen from drive C: the part below the mapped folder, starting
// with '/'. A path outside the mapped folder stays as it is.
std::string_view PathBelowDriveRoot(std::string_view linuxAbsolute);

// The absolute Linux folder GetTempPathA reports.
std::string TempFolder();

// CreateFileA notes every name it is asked to open while a test records them.
void NoteFileOpen(const char* cp932Name);

// Called by ptest::ResetControls.
void ResetFileControls();

}  // namespace kernel
