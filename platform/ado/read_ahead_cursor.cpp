#include "platform/ado/read_ahead_cursor.h"

#include <utility>

namespace ado {

ReadAheadCursor::ReadAheadCursor(std::unique_ptr<Cursor> source, size_t batch_rows, size_t batches_ahead)
    : source_(std::move(source)),
      columns_(source_->Columns()),
      batch_rows_(batch_rows ? batch_rows : 1),
      batches_ahead_(batches_ahead ? batches_ahead : 1) {}

ReadAheadCursor::~ReadAheadCursor() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  drained_.notify_all();
  if (reader_.joinable()) reader_.join();
}

void ReadAheadCursor::ReadBatches() {
  for (;;) {
    Batch batch;
    batch.rows.reserve(batch_rows_);
    try {
      std::vector<Value> row;
      while (batch.rows.size() < batch_rows_) {
        if (!source_->Fetch(row)) {
          batch.end = true;
          break;
        }
        batch.rows.push_back(std::move(row));
        row.clear();
      }
    } catch (...) {
      batch.failure = std::current_exception();
    }
    const bool end = batch.end;
    std::unique_lock lock(mutex_);
    drained_.wait(lock, [&] { return stop_ || queue_.size() < batches_ahead_; });
    if (stop_) return;
    queue_.push_back(std::move(batch));
    lock.unlock();
    filled_.notify_one();
    if (end) return;
  }
}

bool ReadAheadCursor::NextBatch() {
  if (!reader_.joinable()) reader_ = std::thread([this] { ReadBatches(); });
  std::unique_lock lock(mutex_);
  filled_.wait(lock, [&] { return !queue_.empty(); });
  current_ = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  drained_.notify_one();
  next_row_ = 0;
  return true;
}

bool ReadAheadCursor::Fetch(std::vector<Value>& row) {
  while (next_row_ >= current_.rows.size()) {
    if (current_.failure) {
      // Raised once, at its place; reading on continues after it.
      auto failure = std::exchange(current_.failure, nullptr);
      current_.rows.clear();
      std::rethrow_exception(failure);
    }
    if (at_end_ || current_.end) {
      at_end_ = true;
      return false;
    }
    NextBatch();
  }
  row = std::move(current_.rows[next_row_++]);
  return true;
}

}  // namespace ado
