#pragma once
// What the interpreter reports about the script, in one place: printf formats of what follows
// "file(line): " (CMainScript::TraceAt). The formats are UTF-8 and go out in the game's
// encoding; their arguments are game texts already.
namespace kestrin {
namespace tagmsg {

// About one attribute of a tag: its name, then the attribute's name and value.
constexpr char kFileMissingOrUnsupported[] = "[%s %s=\"%s\"] 指定されたファイルは見つからないか、非対応形式です。";

// About a tag: its name first.
constexpr char kFileMissing[] = "[%s file=\"%s\"] 指定されたファイルは見つかりません。";
constexpr char kFileUnsupported[] = "[%s file=\"%s\"] 指定されたファイルは非対応形式です。";
constexpr char kPlaceMissing[] = "[%s file=\"%s\" label=\"%s\"] 指定された場所は見つかりません。";
constexpr char kLayerMissing[] = "[%s id=\"%s\"] 指定されたレイヤーが見つかりません。";
constexpr char kLayerWithoutSurface[] = "[%s id=\"%s\"] このレイヤーにはサーフェイスがありません。";
constexpr char kLayerWithoutPixels[] =
    "[%s id=\"%s\"] このレイヤーはピクセル操作できません。lycタグで useclickablethreshold を 1 "
    "にしないとピクセル操作できません。";
constexpr char kAnimationMissing[] = "[%s id=\"%s\"] 指定されたアニメーションが見つかりません。";
constexpr char kAnimationEndNotPositive[] = "[%s time=\"%s\"] アニメーションの終端は0より後の時刻を指定してください。";
constexpr char kKeyCodeOutOfRange[] = "[%s key=\"%s\"] キーコードは0から255の範囲で指定してください。";
constexpr char kRuleImageUnreadable[] = "[%s rule=\"%s\"] ルール画像を読み込めないため、クロスフェードで代用します。";
constexpr char kScreenshotSizeInvalid[] = "[%s width=\"%d\" height=\"%d\"] スクリーンショットの大きさが不正です。";
constexpr char kOutsideSaveFolder[] = "[%s file=\"%s\"] セーブフォルダの外には保存できません。";
constexpr char kScreenshotNotSaved[] = "[%s file=\"%s\"] スクリーンショットを保存できませんでした。";
constexpr char kUrlNotAllowed[] =
    "[%s url=\"%s\"] 開けるのは http と https のアドレスか、ゲームフォルダ内のファイルだけです。";
constexpr char kUnknownTag[] = "[%s] 未知のタグ、または未定義のマクロです。";
constexpr char kSliderParameters[] = "[%s] パラメータが不足しているか、間違っています。";
constexpr char kMessageLayerChanged[] = "[%s] メッセージレイヤーが %s に変更されました。";
constexpr char kChgmsgUnpaired[] = "[%s] 対になるchgmsgタグが見つかりません。現在のメッセージレイヤーは %s です。";
constexpr char kFontUnpaired[] = "[%s] 対になるfontタグが見つかりません。";
constexpr char kRubyNested[] = "[%s] rubyタグは二重にできません。";
constexpr char kRubyUnpaired[] = "[%s] 対になるrubyタグが見つかりません。";
constexpr char kLoopUnpaired[] = "[%s] 対応するloopタグが見つかりません。";
constexpr char kTagFailed[] = "[%s] %s";

// The var tag's system functions.
constexpr char kOutsideGameFolders[] = "[%s %s=\"%s\"] ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。";
constexpr char kEncodingsNotGiven[] =
    "[var system=\"convert_encoding\"] 変換元文字コード(from)または変換先文字コード(to)の指定がありません。";
constexpr char kSourceEncodingUnknown[] =
    "[var system=\"convert_encoding\"] 変換元文字コード(from)に未知の文字コードが指定されています。";
constexpr char kTargetEncodingUnknown[] =
    "[var system=\"convert_encoding\"] 変換先文字コード(to)に未知の文字コードが指定されています。";
constexpr char kSubstringNegative[] = "positionパラメータまたはlengthパラメータが負の値です。";
constexpr char kSubstringPastEnd[] =
    "positionパラメータとlengthパラメータの合計が、sourceパラメータの長さを超えています。";
constexpr char kImplodeTooManyElements[] =
    "[var system=\"implode\"] 配列が大きすぎるため、先頭の%d個だけを連結します。";
constexpr char kImplodeTooLong[] =
    "[var system=\"implode\"] 連結した文字列が大きすぎるため、%d個目までで打ち切ります。";
constexpr char kExplodeEmptyDelimiter[] = "[var system=\"explode\"] delimiterが空のため、sourceを分割しません。";

// About the whole tag as written (CScriptBlock::ToTagText).
constexpr char kRoleMissing[] = "%s roleパラメータが必要です。";

// About a line of the script.
constexpr char kParametersInvalid[] = "パラメータが不正です。";
constexpr char kRuleImageMismatch[] =
    "エクスターナルトランジション用のルール画像のサイズがスクリーンと一致していないか、またはフォーマットが8bitグ"
    "レースケールではありません。";
constexpr char kBlockTooWide[] = "このシナリオブロックは単体で一行に収まらないため無視されます。(%s)";
constexpr char kMessageLayerOverflow[] = "メッセージレイヤーがあふれました。(%s)";
constexpr char kFrameBudgetPassed[] = "1フレームの実行時間が%ums を超えたため、続きを次のフレームで実行します。";
constexpr char kCallTooDeep[] = "呼び出しの深さが上限(%d)を超えるため、呼び出せません。(file=\"%s\" label=\"%s\")";
constexpr char kLuaFailed[] = "[Lua] %s";

}  // namespace tagmsg
}  // namespace kestrin
