#pragma once

// The record's file locks, kept by the open file and not by the process.
//
// SQLite coordinates its connections (this program's and every other
// program's, sqlite3 included) through POSIX record locks on the file and on
// its -shm. On Linux a close() of any descriptor of a file drops every POSIX
// lock the process holds on it, whoever opened that descriptor: a file
// dialog looking at barometer.db for its icon, say. Another program would
// then take the record for unused, copy its log back and delete it under
// the running program.
//
// Install() makes SQLite's unix VFS lock through open-file-description locks
// instead (see Trecord_locks.cpp): other programs see and honour them as
// they do POSIX locks, and only the closing of SQLite's own descriptors
// releases them. It runs by itself before main() in every program that links
// the record; calling it again does nothing.
class Trecord_locks {
 public:
  // True when SQLite locks this way (false on a kernel without such locks,
  // where SQLite keeps its own).
  static bool Install();
  // The files that SQLite has taken a lock on and still has open, each held
  // by one descriptor of the lock's own (tests read it).
  static int HeldFiles();
};
