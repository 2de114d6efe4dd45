#pragma once
// The parser's messages in each text encoding, so that kind-3 blocks carry them in the
// script's own encoding (0 Shift_JIS, 1 EUC-JP, 2 UTF-8; others use Shift_JIS).
#include <string>

namespace kestrin {

enum ParserMessageId {
    kBadTag,
    kRequiredBefore,
    kRequiredMiddle,
    kRequiredAfter,
    kNoTagIni,
    kLineTagUnmapped,
    kScpSupportMode,
    kUnknownPreprocessor,
    kParserMessageCount
};

const std::string& GetParserMessage(ParserMessageId id, int encoding);

}  // namespace kestrin
