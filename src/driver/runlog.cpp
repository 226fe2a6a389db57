#include "driver/runlog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
FILE* run_log = nullptr;
std::string today_key;
std::string client_schema;
}  // namespace

int Log_Open(const char* path, const char** reason) {
  Log_Close();
  run_log = std::fopen(path, "w");
  if (run_log == nullptr) {
    if (reason != nullptr) *reason = std::strerror(errno);
    return -1;
  }
  // Line buffering hands every completed line to the file system at once.
  std::setvbuf(run_log, nullptr, _IOLBF, BUFSIZ);
  return 0;
}

void Log_Close() {
  if (run_log != nullptr) {
    std::fclose(run_log);
    run_log = nullptr;
  }
}

bool Log_IsOpen() { return run_log != nullptr; }

void Log_Printf(const char* fmt, ...) {
  if (run_log == nullptr) return;
  va_list args;
  va_start(args, fmt);
  std::vfprintf(run_log, fmt, args);
  va_end(args);
}

void Run_SetToday(const char* date_key) { today_key = date_key; }
const char* Run_Today() { return today_key.c_str(); }
void Run_SetSchema(const char* schema) { client_schema = schema; }
const char* Run_Schema() { return client_schema.c_str(); }
