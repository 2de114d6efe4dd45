// The var tag's system functions by name, in the order the handler tests them.
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/tags/VarFunctions.h"

namespace kestrin {

VarFunction FindVarFunction(const std::string& system) {
    static const struct {
        const char* name;
        VarFunction function;
    } kFunctions[] = {
        {"array", &VarArray},
        {"random", &VarRandom},
        {"length", &VarLength},
        {"find", &VarFind},
        {"substr", &VarSubstr},
        {"implode", &VarImplode},
        {"explode", &VarExplode},
        {"convert_encoding", &VarConvertEncoding},
        {"to_utf8", &VarToUtf8},
        {"to_sjis", &VarToSjis},
        {"character_reference_to_utf8", &VarCharacterReferenceToUtf8},
        {"url_encode", &VarUrlEncode},
        {"url_decode", &VarUrlDecode},
        {"base64_encode", &VarBase64Encode},
        {"hmac_sha1_base64", &VarHmacSha1Base64},
        {"date", &VarDate},
        {"unixtime", &VarUnixtime},
        {"os", &VarOs},
        {"screen_width", &VarScreenWidth},
        {"screen_height", &VarScreenHeight},
        {"fullscreen", &VarFullscreen},
        {"get_layer_info", &VarGetLayerInfo},
        {"get_sound_info", &VarGetSoundInfo},
        {"get_message_layer_width", &VarGetMessageLayerWidth},
        {"get_message_layer_height", &VarGetMessageLayerHeight},
        {"get_message_tags", &VarGetMessageTags},
        {"get_backlog_size", &VarGetBacklogSize},
        {"get_backlog_tags", &VarGetBacklogTags},
        {"get_font", &VarGetFont},
        {"file_exist", &VarFileExist},
        {"file_update_time", &VarFileUpdateTime},
        {"file_crc", &VarFileCrc},
    };
    for (const auto& entry : kFunctions) {
        if (system == entry.name) return entry.function;
    }
    return nullptr;
}

}  // namespace kestrin
