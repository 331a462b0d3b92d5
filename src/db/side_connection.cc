#include "db/side_connection.h"

#include <mysql.h>

#include "db/connection.h"

SideConnection::SideConnection() {
  program_thread_ = mysql_thread_id(db_handle());
  mysql_ = db_connect_beside();
}

SideConnection::~SideConnection() {
  if (mysql_ != nullptr) mysql_close(mysql_);
}

bool SideConnection::of_program_connection() const {
  return mysql_thread_id(db_handle()) == program_thread_;
}

void SideConnection::thread_begin() {
  mysql_thread_init();
}

void SideConnection::thread_end() {
  mysql_thread_end();
}

std::string SideConnection::escape(std::string_view value) {
  std::string escaped(value.size() * 2 + 1, '\0');
  const unsigned long n =
      mysql_real_escape_string(mysql_, escaped.data(), value.data(), value.size());
  escaped.resize(n);
  return escaped;
}

int SideConnection::query_stored(const std::string& statement, MysqlResult& result) {
  if (mysql_real_query(mysql_, statement.data(), statement.size()) != 0) {
    return static_cast<int>(mysql_errno(mysql_));
  }
  result.reset(mysql_store_result(mysql_));
  if (!result) {
    const unsigned error = mysql_errno(mysql_);
    return error != 0 ? static_cast<int>(error) : -1;
  }
  return 0;
}

int SideConnection::query(const std::string& statement,
                          const std::function<void(DbRow row, unsigned columns)>& each_row) {
  if (mysql_real_query(mysql_, statement.data(), statement.size()) != 0) {
    return static_cast<int>(mysql_errno(mysql_));
  }
  MysqlResult result(mysql_store_result(mysql_));
  if (!result) {
    const unsigned error = mysql_errno(mysql_);
    return error != 0 ? static_cast<int>(error) : -1;
  }
  const unsigned columns = mysql_num_fields(result.get());
  while (MYSQL_ROW row = mysql_fetch_row(result.get()))
    each_row(row, columns);
  return 0;
}

int SideConnection::execute(const std::string& statement) {
  if (mysql_real_query(mysql_, statement.data(), statement.size()) != 0) {
    return static_cast<int>(mysql_errno(mysql_));
  }
  // A statement that does return rows has them read and dropped.
  if (MYSQL_RES* result = mysql_store_result(mysql_)) mysql_free_result(result);
  return static_cast<int>(mysql_errno(mysql_));
}
