#include "platform/jet/format/tdef_indexes.h"

#include <fmt/format.h>

#include "platform/jet/format/ascii_case.h"
#include "platform/jet/format/indexed_tdef_writer.h"
#include "platform/jet/format/tdef_writer.h"
#include "platform/jet/format/text.h"

namespace jet::format {
namespace {

constexpr size_t kRealIndexBlock = 12;
constexpr size_t kColumnCountOffset = 0x2D;
constexpr size_t kLogicalCountOffset = 0x2F;
constexpr size_t kRealCountOffset = 0x33;

Error Damaged(const char* what) {
  return MakeError(ErrorCode::kCorruption, fmt::format("the table definition is damaged: {}", what));
}

// Where the name at `at` ends (uint16 byte length, then UTF-16LE).
Result<size_t> SkipName(ConstBytes b, size_t at) {
  if (at + 2 > b.size() || at + 2 + U16(b, at) > b.size()) return Damaged("a name runs past its end");
  return at + 2 + U16(b, at);
}

// Where each section of a definition starts.
struct Sections {
  uint16_t columns = 0;
  uint32_t logical_count = 0, real_count = 0;
  size_t blocks_end = 0, reals_at = 0, logicals_at = 0, names_at = 0;
  std::vector<size_t> name_at;  // each logical name, then where the names end
};

Result<Sections> Walk(ConstBytes b) {
  if (b.size() < kTdefFixedPartSize) return Damaged("it is shorter than its fixed part");
  Sections s;
  s.columns = U16(b, kColumnCountOffset);
  s.logical_count = U32(b, kLogicalCountOffset);
  s.real_count = U32(b, kRealCountOffset);
  s.blocks_end = kTdefFixedPartSize + kRealIndexBlock * s.real_count;
  size_t at = s.blocks_end + kColumnDescriptorSize * s.columns;
  for (uint16_t c = 0; c < s.columns; ++c) {
    JET_ASSIGN_OR_RETURN(next, SkipName(b, at));
    at = next;
  }
  s.reals_at = at;
  s.logicals_at = s.reals_at + kRealIndexSize * s.real_count;
  s.names_at = s.logicals_at + kLogicalIndexSize * s.logical_count;
  if (s.names_at > b.size()) return Damaged("its indexes run past its end");
  at = s.names_at;
  for (uint32_t i = 0; i < s.logical_count; ++i) {
    s.name_at.push_back(at);
    JET_ASSIGN_OR_RETURN(next, SkipName(b, at));
    at = next;
  }
  s.name_at.push_back(at);
  return s;
}

}  // namespace

Result<std::vector<std::byte>> RemoveIndexFromDefinition(ConstBytes b, size_t position, std::optional<uint32_t> real,
                                                         uint32_t number) {
  JET_ASSIGN_OR_RETURN(s, Walk(b));
  if (position >= s.logical_count || (real && *real >= s.real_count)) return Damaged("it has no such index");
  std::vector<std::byte> out;
  auto copy = [&](size_t from, size_t to) { out.insert(out.end(), b.begin() + from, b.begin() + to); };
  if (real) {
    copy(0, kTdefFixedPartSize + kRealIndexBlock * *real);
    copy(kTdefFixedPartSize + kRealIndexBlock * (*real + 1), s.reals_at + kRealIndexSize * *real);
    copy(s.reals_at + kRealIndexSize * (*real + 1), s.logicals_at);
  } else {
    copy(0, s.logicals_at);
  }
  const size_t logicals_out = out.size();
  copy(s.logicals_at, s.logicals_at + kLogicalIndexSize * position);
  copy(s.logicals_at + kLogicalIndexSize * (position + 1), s.names_at);
  copy(s.names_at, s.name_at[position]);
  copy(s.name_at[position + 1], b.size());

  MutableBytes h(out);
  Put32(h, kLogicalCountOffset, s.logical_count - 1);
  if (real) Put32(h, kRealCountOffset, s.real_count - 1);
  for (uint32_t i = 0; i + 1 < s.logical_count; ++i) {
    const size_t at = logicals_out + kLogicalIndexSize * i;
    if (U32(ConstBytes(out), at + 4) > number) Put32(h, at + 4, U32(ConstBytes(out), at + 4) - 1);
    if (real && U32(ConstBytes(out), at + 8) > *real) Put32(h, at + 8, U32(ConstBytes(out), at + 8) - 1);
  }
  Put32(h, kTdefLengthOffset, static_cast<uint32_t>(out.size()));
  return out;
}

Result<std::vector<std::byte>> AddIndexToDefinition(ConstBytes b, const std::optional<RealIndex>& real,
                                                    const LogicalIndex& logical) {
  JET_ASSIGN_OR_RETURN(sections, Walk(b));
  const size_t blocks_end = sections.blocks_end, reals_end = sections.logicals_at, logicals_end = sections.names_at;
  const uint32_t logical_count = sections.logical_count, real_count = sections.real_count;
  // The new logical index goes where its name sorts (without regard to case).
  const std::string key = AsciiLower(logical.name);
  size_t place = 0;
  for (uint32_t i = 0; i < logical_count; ++i) {
    const size_t at = sections.name_at[i];
    if (AsciiLower(Utf16LeToUtf8(b.subspan(at + 2, sections.name_at[i + 1] - at - 2))) <= key) place = i + 1;
  }
  const std::vector<size_t>& name_at = sections.name_at;

  std::vector<std::byte> out;
  auto copy = [&](size_t from, size_t to) { out.insert(out.end(), b.begin() + from, b.begin() + to); };
  auto grow = [&](size_t n) {
    out.resize(out.size() + n);
    return MutableBytes(out).subspan(out.size() - n, n);
  };
  copy(0, blocks_end);
  if (real) Put32(grow(kRealIndexBlock), 4, real->unique_entries);
  copy(blocks_end, reals_end);
  if (real) PutRealIndex(grow(kRealIndexSize), *real);
  copy(reals_end, reals_end + kLogicalIndexSize * place);
  PutLogicalIndex(grow(kLogicalIndexSize), logical);
  copy(reals_end + kLogicalIndexSize * place, logicals_end);
  copy(logicals_end, name_at[place]);
  AppendTdefName(out, logical.name);
  copy(name_at[place], b.size());

  MutableBytes h(out);
  Put32(h, kLogicalCountOffset, logical_count + 1);
  if (real) Put32(h, kRealCountOffset, real_count + 1);
  Put32(h, kTdefLengthOffset, static_cast<uint32_t>(out.size()));
  return out;
}

Result<std::vector<std::byte>> RenumberRelationshipPartner(ConstBytes b, uint32_t other_tdef, uint32_t from,
                                                           uint32_t to) {
  JET_ASSIGN_OR_RETURN(s, Walk(b));
  std::vector<std::byte> out(b.begin(), b.end());
  for (uint32_t i = 0; i < s.logical_count; ++i) {
    const size_t at = s.logicals_at + kLogicalIndexSize * i;
    if (U8(b, at + 23) != kLogicalIndexRelationship || U32(b, at + 17) != other_tdef || U32(b, at + 13) != from)
      continue;
    Put32(MutableBytes(out), at + 13, to);
  }
  return out;
}

}  // namespace jet::format
