#pragma once
// What the network tags and unison tell the script, in one place: the result texts a tag
// hands back and the formats of its trace lines. The texts are UTF-8 and go out in the
// game's encoding; format arguments are game texts already.
namespace kestrin {
namespace netmsg {

// Result texts of httpget and httppost.
constexpr char kBadUrl[] = "ドメインが見つからないか、不正なURLです";
constexpr char kSendFailed[] = "サーバとの通信に失敗しました";
constexpr char kReceiveFailed[] = "サーバからの受信に失敗しました";

// Result texts of unison.
constexpr char kConnectFailed[] = "サーバへの接続に失敗しました";
constexpr char kExchangeFailed[] = "サーバとの通信中に問題が発生しました";
constexpr char kBadInfoReply[] = "情報取得中にサーバが不正な応答を返しました";
constexpr char kCannotOpen[] = "指定されたファイルが開けません";
constexpr char kBadUploadReply[] = "アップロード中にサーバが不正な応答を返しました";

// Why unison refuses a file name.
constexpr char kOutsideFolders[] = "ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。";

// Why a URL cannot be reached (CUrl::UnreachableText).
constexpr char kNoHost[] = "ホスト名がありません。";
constexpr char kBadPort[] = "ポート番号が不正です。";
constexpr char kIpv6Host[] = "IPv6アドレスには対応していません。";
constexpr char kTls[] = "httpsには対応していません。";

// Trace lines of httpget and httppost: the tag's name first.
constexpr char kControlCharacter[] = "%sタグ %sパラメータに改行文字またはNUL文字が含まれています。";
// The tag, the URL, then why (an engine text).
constexpr char kUrlRefused[] = "%sタグ urlパラメータ \"%s\": %s";
// The tag, then the attribute that names the file and its value.
constexpr char kFileOutsideFolders[] =
    "%sタグ %s=\"%s\": ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。";
constexpr char kPostFileMissing[] = "httppostタグ %sパラメータで指定されたファイルが見つかりません。";
constexpr char kPostValueMissing[] =
    "httppostタグ %sパラメータに対応する %sパラメータまたは %sパラメータがありません。";

}  // namespace netmsg
}  // namespace kestrin
