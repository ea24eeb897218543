// Writes a full record (a year of minutes, the last week of samples) ending
// now, for bench/running_cost --full-record: the program as a user who has
// run it for a year starts it.
//
//   full-record <path of the new record>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "support_full_record.h"

int main(int argc, char** argv) {
  if (argc != 2 || std::filesystem::exists(argv[1])) {
    std::fprintf(stderr, "usage: full-record <path of a record that does not exist yet>\n");
    return 2;
  }
  WriteFullRecord(argv[1], std::time(nullptr));
  return 0;
}
