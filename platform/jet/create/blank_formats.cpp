#include "platform/jet/create/blank_formats.h"

namespace jet {
namespace {

using format::Version;

// The Jet 4 engine's set, as it writes it into a database of its own.
const EngineSids kJet4Sids = {{0x06, 0xEA}, {0x07, 0xE8}, {0x06, 0xED}, {0x06, 0xE8}};
// The sets of the ACE engines' empty files: Jet 4's XOR-ed with 0x544C
// (2007), 0x44B3 (2010 and 2016, made from the same template), 0xA1D4 (2019).
const EngineSids kAce2007Sids = {{0x52, 0xA6}, {0x53, 0xA4}, {0x52, 0xA1}, {0x52, 0xA4}};
const EngineSids kAce2010Sids = {{0x42, 0x59}, {0x43, 0x5B}, {0x42, 0x5E}, {0x42, 0x5B}};
const EngineSids kAce2019Sids = {{0xA7, 0x3E}, {0xA6, 0x3C}, {0xA7, 0x39}, {0xA7, 0x3C}};

// Every ACE version's empty file says "09.50", as Access 2002-2003 files do.
const BlankProfile kProfiles[] = {
    {Version::kJet4, 0, u"08.50", kJet4Sids},      // 2000
    {Version::kJet4, 0, u"09.50", kJet4Sids},      // 2003
    {Version::kAce12, 0, u"09.50", kAce2007Sids},  // 2007: General Legacy
    {Version::kAce14, 1, u"09.50", kAce2010Sids},  // 2010: General
    {Version::kAce16, 1, u"09.50", kAce2010Sids},  // 2016: General
    {Version::kAce17, 0, u"09.50", kAce2019Sids},  // 2019: General Legacy again
};

}  // namespace

bool IsAccdbFormat(BlankFormat format) { return ProfileOf(format).version != Version::kJet4; }

const BlankProfile& ProfileOf(BlankFormat format) { return kProfiles[static_cast<size_t>(format)]; }

std::string DescribeFormat(BlankFormat format) {
  static const char* const kNames[] = {"Access 2000 (.mdb)",   "Access 2002-2003 (.mdb)", "Access 2007 (.accdb)",
                                       "Access 2010 (.accdb)", "Access 2016 (.accdb)",    "Access 2019 (.accdb)"};
  return kNames[static_cast<size_t>(format)];
}

}  // namespace jet
