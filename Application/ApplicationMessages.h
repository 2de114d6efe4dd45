#pragma once
// What the program itself tells the player at start-up, in one place. The texts are UTF-8;
// the message box shows them as they stand.
namespace kestrin {
namespace appmsg {

// The window could not be made or the boot script could not be read.
constexpr char kStartError[] =
    "ウィンドウの生成に失敗したか、起動スクリプトの読み込みに失敗したため、エンジンを起動できません。";
constexpr char kStartErrorCaption[] = "起動エラー";
// The game's window is larger than the desktop.
constexpr char kDesktopTooSmall[] = "デスクトップ解像度が不足しているため起動できません。";

}  // namespace appmsg
}  // namespace kestrin
