#include "platform/ado/read_ahead_cursor.h"

#include <utility>

namespace ado {

namespace {

size_t ValueBytes(const Value& value) {
  const auto& v = value.Get();
  if (auto* text = std::get_if<std::string>(&v)) return sizeof(Value) + text->capacity();
  if (auto* bytes = std::get_if<Binary>(&v)) return sizeof(Value) + bytes->capacity();
  if (auto* decimal = std::get_if<Decimal>(&v)) return sizeof(Value) + decimal->text.capacity();
  return sizeof(Value);
}

}  // namespace

ReadAheadCursor::ReadAheadCursor(std::unique_ptr<Cursor> source, size_t batch_rows, size_t batches_ahead,
                                 size_t bytes_ahead)
    : source_(std::move(source)),
      columns_(source_->Columns()),
      batch_rows_(batch_rows ? batch_rows : 1),
      batches_ahead_(batches_ahead ? batches_ahead : 1),
      bytes_ahead_(bytes_ahead) {}

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
    {
      std::lock_guard lock(mutex_);
      if (!spent_.empty()) {
        batch = std::move(spent_.back());
        spent_.pop_back();
      }
    }
    size_t filled = 0;
    try {
      for (; filled < batch_rows_; ++filled) {
        if (filled == batch.rows.size()) batch.rows.emplace_back();
        if (!source_->Fetch(batch.rows[filled])) {
          batch.end = true;
          break;
        }
      }
    } catch (...) {
      batch.failure = std::current_exception();
    }
    batch.rows.resize(filled);
    batch.bytes = 0;
    for (const auto& row : batch.rows)
      for (const auto& value : row) batch.bytes += ValueBytes(value);
    const bool end = batch.end;
    std::unique_lock lock(mutex_);
    // One batch may always wait, however large its values.
    drained_.wait(lock, [&] {
      return stop_ || queue_.empty() || (queue_.size() < batches_ahead_ && queued_bytes_ < bytes_ahead_);
    });
    if (stop_) return;
    queued_bytes_ += batch.bytes;
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
  current_.failure = nullptr;
  current_.end = false;
  // A batch of large values is not kept for reuse: its buffers would stay.
  if (spent_.size() < batches_ahead_ && current_.bytes <= bytes_ahead_ / batches_ahead_)
    spent_.push_back(std::move(current_));
  current_ = std::move(queue_.front());
  queue_.pop_front();
  queued_bytes_ -= current_.bytes;
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
      std::rethrow_exception(failure);
    }
    if (at_end_ || current_.end) {
      at_end_ = true;
      return false;
    }
    NextBatch();
  }
  // The caller's previous row goes into the batch, to be refilled by the reader.
  row.swap(current_.rows[next_row_++]);
  return true;
}

}  // namespace ado
