#pragma once

#include <sqlite3.h>

#include <cmath>
#include <string>

// The first column of the first row of sql, read from the file at path as a
// user would with sqlite3 (its own connection, read-only), as text; "" when
// there is none, "error: ..." when the query fails.
inline std::string QueryText(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string result;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    result = std::string("error: ") + sqlite3_errmsg(db);
  } else {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      result = std::string("error: ") + sqlite3_errmsg(db);
    } else if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0) != nullptr) {
      result = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return result;
}

// The first column of the first row as a number; NaN when there is none.
inline double QueryDouble(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  double result = std::nan("");
  sqlite3_stmt* s = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
      sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
    result = sqlite3_column_double(s, 0);
  sqlite3_finalize(s);
  sqlite3_close(db);
  return result;
}

// The same as a whole number; -1 when there is none or the query fails.
inline long long QueryNumber(const std::string& path, const std::string& sql) {
  const std::string text = QueryText(path, sql);
  return text.empty() || text[0] == 'e' ? -1 : std::stoll(text);
}
