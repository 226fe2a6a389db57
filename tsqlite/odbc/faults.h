#pragma once
// Test aids of a connection (DSN keys FaultWrites, FaultReads, TriggerCounts, NoCount): a busy
// server's answers to a write or a read, so that a client's handling of them is tested on every
// build.
#include <string>
#include <string_view>
#include <vector>

#include "executor.h"

namespace tsqlite {

// FaultWrites=N:NATIVE[:after][,...]: the Nth write statement of the connection (from 1) fails
// with SQL Server's error NATIVE; after: it writes and returns its row count first, then the error,
// and its rows are rolled back, as an AFTER trigger that raises the error does.
struct WriteFault {
  unsigned long nth = 0;
  int native = 0;
  bool after = false;
};

// The faults of a FaultWrites value; false with why in *problem when it is not such a list.
bool ParseWriteFaults(std::string_view text, std::vector<WriteFault>& faults, std::string* problem);

// FaultReads=N:NATIVE[,...]: the Nth read of the connection (from 1), a SELECT's execution or a
// fetch of any cursor, fails with SQL Server's error NATIVE (1205 or 1222: a read is refused by
// locks); a refused fetch closes its cursor, as the server ends the batch of a deadlock victim.
bool ParseReadFaults(std::string_view text, std::vector<WriteFault>& faults, std::string* problem);

// True when the text's first word is SELECT (after blanks and comments).
bool IsSelect(std::string_view text);

// The text's first word when it is INSERT, UPDATE, DELETE or MERGE (after blanks and comments),
// in upper case; "" otherwise.
std::string_view WriteVerb(std::string_view text);

// SQL Server's error NATIVE as Microsoft's driver gives it (SQLSTATE and message), for the verb
// and the database named; natives: 1205, 1222, 547, 2627, 1105, 9002, 50000.
Error FaultError(int native, std::string_view verb, std::string_view database);

// What the connection's fault keys do to one execution: the write's number and its fault, if any.
struct Faults {
  std::vector<WriteFault> writes;
  bool trigger_counts = false;  // every write returns one more row count, an AFTER trigger's
  unsigned long written = 0;    // write statements executed so far
  std::vector<WriteFault> reads;
  unsigned long read = 0;  // reads (SELECT executions, fetches) so far
  // The fault of the next statement, when it is a write that has one (nullptr otherwise); counts
  // the write.
  const WriteFault* Next(std::string_view verb);
  // The fault of the next read, if it has one; counts the read.
  const WriteFault* NextRead();
};

}  // namespace tsqlite
