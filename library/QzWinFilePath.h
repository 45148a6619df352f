// QzWinFilePath.h: the file layer's one path walker, which joins a Windows-style path to
// a base directory, and MakeFullPath on top of it. The archive set's MakeAbsolutePath
// (QzArchive_FileSet.h) walks with the same rules, upper-casing as it goes.
//
// Rules of the walk:
// - a path starting with a separator starts from the base's drive (its first two
//   characters); "X:..." starts from its own drive, reading on after the colon and one
//   separator; any other path starts from the base less one trailing separator;
// - components are split at '\' and '/', Shift-JIS-aware (a lead byte takes the byte after
//   it, so 0x5C as a second byte never splits);
// - a component ended by a separator: empty fails, "." is dropped, ".." cuts the result
//   back to its last '\', '/' or ':' (a drive is never removed), any other is appended
//   after a '\';
// - the last component is appended as it stands ("." and ".." included); an empty one
//   (a trailing separator) appends nothing;
// - a result that does not fit the output, or a component longer than 255 bytes, fails.
// No state; any thread.
#pragma once

// Walk options.
enum : int {
    kPathWalkUpperCase = 1,  // upper-case a-z of the drive, the base and every component
};

// Writes the joined path to out (outSize bytes with the terminator). 0, or -1.
int WalkPath(const char* path, const char* base, int options, char* out, int outSize);

// Full path of path against base (null: the file layer's current directory); a null path
// copies the base. out holds 260 bytes. 0, or -1.
int MakeFullPath(const char* path, char* out, const char* base);
