#include "platform/jet/table/statement_pages.h"

#include <algorithm>
#include <cstring>

namespace jet::table {

StatementPages::Stamp& StatementPages::StampOf(uint32_t page) {
  if (page >= stamps_.size()) stamps_.resize(std::max<size_t>(page + 1, stamps_.size() * 2));
  return stamps_[page];
}

std::unique_ptr<std::byte[]> StatementPages::TakeBuffer() {
  if (spare_.empty()) return std::unique_ptr<std::byte[]>(new std::byte[base_.PageSize()]);
  auto b = std::move(spare_.back());
  spare_.pop_back();
  return b;
}

Result<std::span<std::byte>> StatementPages::Write(uint32_t page) {
  JET_ASSIGN_OR_RETURN(image, base_.Write(page));
  Stamp& s = StampOf(page);
  if (s.period != period_) {
    s.period = period_;
    ++since_commit_;
  }
  if (active_ && s.statement != statement_) {
    s.statement = statement_;
    auto copy = TakeBuffer();
    std::memcpy(copy.get(), image.data(), image.size());
    kept_.push_back(Kept{page, std::move(copy)});
  }
  return image;
}

Result<uint32_t> StatementPages::Append() {
  JET_ASSIGN_OR_RETURN(page, base_.Append());
  Stamp& s = StampOf(page);
  if (s.period != period_) {
    s.period = period_;
    ++since_commit_;
  }
  if (active_) {
    s.statement = statement_;  // later Writes keep nothing: Undo blanks the page
    kept_.push_back(Kept{page, nullptr});
  }
  return page;
}

void StatementPages::Begin() {
  End();
  active_ = true;
}

void StatementPages::End() {
  for (auto& k : kept_)
    if (k.image) spare_.push_back(std::move(k.image));
  kept_.clear();
  active_ = false;
  ++statement_;
}

Status StatementPages::Undo() {
  Status result;
  // Latest first, so a page kept twice (never, by the stamps) would end at its oldest image.
  for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
    auto image = base_.Write(it->page);
    if (!image) {
      if (result) result = image.error();
      continue;
    }
    if (it->image)
      std::memcpy(image->data(), it->image.get(), image->size());
    else
      std::memset(image->data(), 0, image->size());
  }
  End();
  return result;
}

void StatementPages::MarkCommitted() {
  ++period_;
  since_commit_ = 0;
}

}  // namespace jet::table
