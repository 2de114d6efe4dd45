#pragma once
// The generated scenario the parse benchmarks read: Shift_JIS message lines, tags, line tags,
// labels and comments in a fixed mix (30 MiB of it is about a million blocks).
#include <cstddef>
#include <random>
#include <string>

namespace script_bench {

inline std::string MakeScenario(size_t bytes) {
    static const char* const kLines[] = {
        "\x81\x75\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\x81\x41\x8D\xA1\x93\xFA\x82\xE0\x82\xA2\x82\xA2\x93\x56"
        "\x8B\x43\x82\xC5\x82\xB7\x82\xCB\x81\x76[l]\n",
        "\x94\xDE\x8F\x97\x82\xCD\x8F\xAD\x82\xB5\x8D\x6C\x82\xA6\x82\xC4\x82\xA9\x82\xE7\x81\x41\x82\xA4\x82\xC8"
        "\x82\xB8\x82\xA2\x82\xBD\x81\x42@\x82\xBB\x82\xB5\x82\xC4\x8F\xCE\x82\xC1\x82\xBD\x81\x42[p]\n",
        "[lyc id=bg file=\"bg\\room_day.png\" x=0 y=0 alpha=255]\n",
        "[lytween id=chara from=0 to=255 msec=300 param=alpha ease=easeout_quad]\n",
        "chara c1,face_smile.png\n",
        "[if estimate=\"$f.route == 2 && g.clear > 0\"]\n",
        "; a comment line\n",
        "\n",
        "*scene_042\n",
        "[splay file=\"bgm\\theme01.ogg\" time=1000][var name=t.count value=\"$t.count + 1\"]\n",
    };
    std::mt19937 rng(42);
    std::string text;
    text.reserve(bytes + 256);
    while (text.size() < bytes) text += kLines[rng() % (sizeof kLines / sizeof kLines[0])];
    return text;
}

// The "tag.ini" that maps the scenario's line tag.
inline const char* TagIniText() { return "[chara]\n0=id\n1=file\n"; }

}  // namespace script_bench
