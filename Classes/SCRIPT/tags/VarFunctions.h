#pragma once
// The var tag's system functions. Each reads its own attributes from the block and writes
// its results into the script's variables; none stops the interpreter.
#include <string>
#include <vector>

#include "SCRIPT/CScriptBlock.h"

namespace kestrin {

class CMainScript;

using VarFunction = void (*)(CMainScript& script, const CScriptBlock& block);

// The function of a "system" name (exact, case-sensitive), or null: unknown names do nothing.
VarFunction FindVarFunction(const std::string& system);

// Their diagnostics go to CMainScript::TraceAt at level 1 with a format of tags/TagMessages.h.

// Strings, arrays and numbers.
void VarArray(CMainScript& script, const CScriptBlock& block);
void VarRandom(CMainScript& script, const CScriptBlock& block);
void VarLength(CMainScript& script, const CScriptBlock& block);
void VarFind(CMainScript& script, const CScriptBlock& block);
void VarSubstr(CMainScript& script, const CScriptBlock& block);
void VarImplode(CMainScript& script, const CScriptBlock& block);
void VarExplode(CMainScript& script, const CScriptBlock& block);

// Encodings, hashes and time.
void VarConvertEncoding(CMainScript& script, const CScriptBlock& block);
void VarToUtf8(CMainScript& script, const CScriptBlock& block);
void VarToSjis(CMainScript& script, const CScriptBlock& block);
void VarCharacterReferenceToUtf8(CMainScript& script, const CScriptBlock& block);
void VarUrlEncode(CMainScript& script, const CScriptBlock& block);
void VarUrlDecode(CMainScript& script, const CScriptBlock& block);
void VarBase64Encode(CMainScript& script, const CScriptBlock& block);
void VarHmacSha1Base64(CMainScript& script, const CScriptBlock& block);
void VarDate(CMainScript& script, const CScriptBlock& block);
void VarUnixtime(CMainScript& script, const CScriptBlock& block);

// Files.
void VarFileExist(CMainScript& script, const CScriptBlock& block);
void VarFileUpdateTime(CMainScript& script, const CScriptBlock& block);
void VarFileCrc(CMainScript& script, const CScriptBlock& block);

// Screen, layer and sound queries.
void VarOs(CMainScript& script, const CScriptBlock& block);
void VarScreenWidth(CMainScript& script, const CScriptBlock& block);
void VarScreenHeight(CMainScript& script, const CScriptBlock& block);
void VarFullscreen(CMainScript& script, const CScriptBlock& block);
void VarGetLayerInfo(CMainScript& script, const CScriptBlock& block);
void VarGetSoundInfo(CMainScript& script, const CScriptBlock& block);
void VarGetMessageLayerWidth(CMainScript& script, const CScriptBlock& block);
void VarGetMessageLayerHeight(CMainScript& script, const CScriptBlock& block);
void VarGetFont(CMainScript& script, const CScriptBlock& block);

// Recorded message tags and the backlog.
void VarGetMessageTags(CMainScript& script, const CScriptBlock& block);
void VarGetBacklogSize(CMainScript& script, const CScriptBlock& block);
void VarGetBacklogTags(CMainScript& script, const CScriptBlock& block);

// Text helpers, shared with the tests.
// "&#N;" and "&#xH;" references to UTF-8 (the low 16 bits of the number); a reference
// without digits or without a byte after its number is copied as it is.
std::string CharacterReferencesToUtf8(const std::string& text);
// As UrlDecode, with a "%" among the last two bytes copied as it is.
std::string UrlDecodeWhole(const std::string& text);
// The pieces of the var tag's explode: escapes make the next byte plain (before a line
// feed they are only dropped), a trailing escape stays, a Shift_JIS lead byte takes its
// trail byte along. An empty delimiter splits nothing.
void ExplodeText(const std::string& text, const std::string& delimiter, const std::string& escapes,
                 std::vector<std::string>& out);
// "yyyy", "yy", "MM", "M", "dd", "d", "hh", "h", "mm", "m", "ss", "s" in pattern replaced
// (the short token only where the long one does not occur).
std::string FormatFileTime(const std::string& pattern, int year, int month, int day, int hour, int minute, int second);

}  // namespace kestrin
