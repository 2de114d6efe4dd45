#pragma once
// What the interpreter reports outside a tag's own line, in one place: save data, the
// right-click mode, the debug reload and the Lua host. The texts are UTF-8 and go out in the
// game's encoding (CMainScript::LogMessage, Trace, EngineText); format arguments are game
// texts already. The tags' own formats are in tags/TagMessages.h.
namespace kestrin {
namespace scriptmsg {

// Save data: the save's name first.
constexpr char kSaveOutsideFolder[] = "%s: セーブフォルダの外には保存できません。";
constexpr char kSaveNotWritten[] = "%s: セーブデータを書き込めませんでした。(%s)";
constexpr char kLoadOutsideFolder[] = "%s: セーブフォルダの外のファイルは読み込めません。";
constexpr char kSaveNotRead[] = "%s: セーブデータを読み込めませんでした。";
constexpr char kSaveTooShort[] = "%s: セーブデータが短すぎます。";
constexpr char kNotSaveData[] = "%s: セーブデータではありません。";
constexpr char kSaveVersion[] = "%s: セーブデータのバージョン(%d)に対応していません。";
constexpr char kSaveKind[] = "%s: セーブデータの種類('%c')が違います。";
constexpr char kSaveDamaged[] = "%s: セーブデータが壊れています。";
// What is damaged and the value found.
constexpr char kSaveMemberDamaged[] = "%s: セーブデータが壊れています。(%s: %ld)";
constexpr char kSaveNotSetAside[] = "%s: 読み込めないセーブデータを退避できませんでした。";
// The save's name, then the name it was moved to (the name and a suffix).
constexpr char kSaveSetAside[] = "%s: 読み込めないセーブデータを %s%s に退避しました。";

// The right-click mode: the right-click script's name first.
constexpr char kRightClickLeaveMissing[] =
    "%s: [leave] 右クリックスクリプトのラベルが見つからないため、右クリックモードを終了します。";
constexpr char kRightClickNotCalled[] = "%s: 右クリックスクリプトを呼び出せません。";

// The debug reload's box: text and caption.
constexpr char kDebugReloaded[] =
    "読み込み済みのスクリプトを全て破棄し、\n現在のスクリプトを再読み込みしました。\nスクリプトを編集した場合は、\n実行位"
    "置がずれることによって、\n異常な動作になることがあります。";
constexpr char kDebugCaption[] = "デバッグ";

// The Lua host: a wrong argument of a method ("Lua: " and the method's name first), a block
// that getScriptBlock does not find, and why a Lua call was stopped: after its run limit (the
// limit in ms first) or for the game's close. The plain Lua state (CLua) returns the last two
// as they are written here.
constexpr char kLuaArgumentError[] = "メソャhの引数が不正です。";
constexpr char kLuaBlockNotFound[] = "Lua: getScriptBlockメソャhの引数が不正です。指定されたブロックは見つかりません。";
constexpr char kLuaRunLimit[] = " ms を超えて実行されたため、中断しました。";
constexpr char kLuaClosed[] = "終了が要求されたため、中断しました。";

}  // namespace scriptmsg
}  // namespace kestrin
