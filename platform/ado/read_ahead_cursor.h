#pragma once
// A cursor that reads its source cursor ahead on a second thread: while the
// caller works on one batch of rows, the next batches are being fetched and
// converted. For a program that reads a table and writes each row elsewhere,
// reading then costs the caller almost nothing.
//
// Rows and failures arrive in the order the source gives them: a failure of
// the source's Fetch is raised by the Fetch that reaches its place, after the
// rows before it, and reading on goes on as the source would. The source is
// used by one thread at a time: the reader until it is stopped, and only the
// destructor (after stopping it) otherwise. A source whose resources can be
// released from elsewhere (a closing connection) must guard itself.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ado/provider.h"

namespace ado {

class ReadAheadCursor final : public Cursor {
 public:
  // At most `batches_ahead` batches of `batch_rows` rows wait to be read, and
  // no more once those waiting hold `bytes_ahead` bytes of values. The rows
  // ahead must outlast a round trip of the source (a driver fetches thousands
  // of rows at a time) and a pause of the caller (a commit), so that neither
  // side waits for the other.
  explicit ReadAheadCursor(std::unique_ptr<Cursor> source, size_t batch_rows = 256, size_t batches_ahead = 32,
                           size_t bytes_ahead = 16 << 20);
  ~ReadAheadCursor() override;

  const std::vector<ColumnInfo>& Columns() const override { return columns_; }
  bool Fetch(std::vector<Value>& row) override;

 private:
  struct Batch {
    std::vector<std::vector<Value>> rows;
    std::exception_ptr failure;  // raised after the rows
    bool end = false;            // the source has no more rows
    size_t bytes = 0;            // what the rows' values hold, about
  };

  void ReadBatches();
  bool NextBatch();

  std::unique_ptr<Cursor> source_;
  std::vector<ColumnInfo> columns_;
  const size_t batch_rows_;
  const size_t batches_ahead_;
  const size_t bytes_ahead_;

  std::mutex mutex_;
  std::condition_variable filled_;   // a batch was queued
  std::condition_variable drained_;  // a batch was taken, or stop_ was set
  std::deque<Batch> queue_;
  size_t queued_bytes_ = 0;
  // Batches the caller has read, back to the reader to be filled again: the
  // rows' buffers are reused, and what they held is freed on the thread that
  // made it.
  std::vector<Batch> spent_;
  bool stop_ = false;
  std::thread reader_;  // started by the first Fetch

  Batch current_;       // the caller's batch
  size_t next_row_ = 0;
  bool at_end_ = false;
};

}  // namespace ado
